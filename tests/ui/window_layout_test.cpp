// The window as described: every control in its place with its caption, font, colours and tab
// order.
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <set>

#include "app/form_description.h"
#include "app/form_messages.h"
#include "app/open_failure_text.h"
#include "catalogue/drum_sets.h"
#include "play/device_switch.h"
#include "ui/drum_page.h"
#include "ui/key_shape.h"
#include "ui/keyboard_layout.h"
#include "ui/press_button.h"
#include "window_fixture.h"

using kalvora::test::WindowFixture;
namespace form = kalvora::form;

class WindowLayoutTest : public QObject {
  Q_OBJECT
 private slots:
  void programAndBankButtonsFollowTheirGrid();
  void keysStandWhereTheKeyboardRuleSays();
  void labelsShowTheirTextsAndTheNumbersAreOnWhite();
  void effectPageHoldsBarsRadioButtonsAndFrame();
  void windowCaptionPageAndHint();
  void oneFontForEveryControl();
  void scrollBarsAppearOnlyBelowTheContentSize();
  void tabVisitsPageControlsThenTheSwitchButton();
  void everyTextIsGlossedInTheReadme();
  void drumSetsStandInTheProgramGridWithTheirKeysNamedBeside();
};

void WindowLayoutTest::programAndBankButtonsFollowTheirGrid() {
  WindowFixture fx({"A"}, {}, {}, false);
  TForm1& f = fx.form();
  struct Example {
    int n;
    QPoint at;
  };
  const Example examples[] = {{1, {0, 16}},    {16, {0, 256}},    {17, {160, 16}}, {64, {480, 256}},
                              {65, {0, 288}},  {128, {480, 528}}, {129, {0, 16}},  {145, {160, 16}},
                              {193, {0, 288}}, {256, {480, 528}}};
  for (const auto& e : examples) {
    QCOMPARE(f.Button(e.n)->geometry(), QRect(e.at, QSize(161, 17)));
  }
  std::set<std::pair<int, int>> places[2];
  f.show();
  for (int n = 1; n <= 256; ++n) {
    auto* button = f.Button(n);
    QWidget* page = n <= 128 ? f.TabSheet1 : f.TabSheet2;
    QCOMPARE(button->parentWidget(), page);
    QVERIFY2(places[n > 128].insert({button->x(), button->y()}).second,
             "two buttons share a place");
    QVERIFY(button->text().isEmpty());  // captions come from start-up
    // The whole button lies inside its page, so no caption is cut by the page's edge.
    QVERIFY2(f.TabSheet1->rect().contains(button->geometry()), qPrintable(QString::number(n)));
  }
  QCOMPARE(f.Button(257)->geometry(), QRect(24, 592, 97, 17));
  QCOMPARE(f.Button(257)->parentWidget(), f.clientArea());
  QCOMPARE(f.Button(257)->text(), QString("音源の変更"));
}

void WindowLayoutTest::keysStandWhereTheKeyboardRuleSays() {
  WindowFixture fx({"A"}, {}, {}, false);
  TForm1& f = fx.form();
  struct Example {
    int n;
    int top;
    bool black;
  };
  const Example examples[] = {{1, 32, false},   {4, 44, true},   {2, 48, false},
                              {3, 64, false},   {6, 80, false},  {12, 92, true},
                              {22, 288, false}, {46, 284, true}, {58, 556, true},
                              {39, 560, false}, {60, 572, true}, {59, 576, false}};
  for (const auto& e : examples) {
    auto* key = f.Shape(e.n);
    const QSize size = e.black ? QSize(41, 10) : QSize(73, 17);
    QCOMPARE(key->geometry(), QRect(QPoint(688, e.top), size));
    QCOMPARE(key->fill(), e.black ? QColor(Qt::black) : QColor(Qt::white));
  }
  int white = 0;
  std::set<int> tops;
  for (int n = 1; n <= 60; ++n) {
    auto* key = f.Shape(n);
    QCOMPARE(key->parentWidget(), f.clientArea());
    QCOMPARE(key->focusPolicy(), Qt::NoFocus);
    QVERIFY(tops.insert(key->y()).second);
    white += key->fill() == QColor(Qt::white);
    // A later key lies on top of an earlier one.
    if (n > 1)
      QVERIFY(f.clientArea()->children().indexOf(key) >
              f.clientArea()->children().indexOf(f.Shape(n - 1)));
  }
  QCOMPARE(white, 35);
}

void WindowLayoutTest::labelsShowTheirTextsAndTheNumbersAreOnWhite() {
  WindowFixture fx({"A"}, {}, {}, false);
  TForm1& f = fx.form();
  int onWhite = 0;
  for (const auto& e : form::kWindowLabels) {
    QLabel* label = f.Label(e.n);
    QCOMPARE(label->pos(), QPoint(e.left, e.top));
    QCOMPARE(label->text(), QString::fromUtf8(e.text));
    QCOMPARE(label->parentWidget(), f.clientArea());
    QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    const bool white = e.n == 10 || e.n == 12;
    onWhite += white;
    QCOMPARE(label->autoFillBackground(), white);
    if (white) QCOMPARE(label->palette().color(QPalette::Window), QColor(Qt::white));
    // Labels fit their text.
    if (!label->text().isEmpty()) QCOMPARE(label->size(), label->sizeHint());
  }
  QCOMPARE(onWhite, 2);
  // The labels of the window and of the effect page are all there is.
  QCOMPARE(std::size(form::kWindowLabels) + 2 * std::size(form::kEffectRows),
           static_cast<std::size_t>(TForm1::kLabels - 1));
}

void WindowLayoutTest::effectPageHoldsBarsRadioButtonsAndFrame() {
  WindowFixture fx({"A"}, {}, {}, false);
  TForm1& f = fx.form();
  for (int n = 1; n <= 5; ++n) {
    const auto& row = form::kEffectRows[n - 1];
    QScrollBar* bar = f.ScrollBar(n);
    const int top = 56 + 56 * (n - 1);
    QCOMPARE(bar->parentWidget(), f.TabSheet3);
    QCOMPARE(bar->geometry(), QRect(24, top, 137, 17));
    QCOMPARE(bar->orientation(), Qt::Horizontal);
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 127);
    QCOMPARE(bar->singleStep(), 1);
    QCOMPARE(bar->pageStep(), 1);
    QCOMPARE(bar->value(), row.position);
    QLabel* name = f.Label(12 + 2 * n);
    QLabel* value = f.Label(13 + 2 * n);
    QCOMPARE(name->text(), QString::fromUtf8(row.name));
    QCOMPARE(name->pos(), QPoint(24, top - 24));
    QCOMPARE(value->pos(), QPoint(row.valueLeft, top - 24));
    QCOMPARE(value->text(), QString::number(row.position));
  }
  QCOMPARE(f.RadioGroup1->geometry(), QRect(416, 360, 217, 161));
  QCOMPARE(f.RadioGroup1->title(), QString("マップ切り替え"));
  for (int n = 1; n <= 5; ++n) {
    const auto& described = form::kRadios[n - 1];
    QRadioButton* radio = f.RadioButton(n);
    QCOMPARE(radio->parentWidget(), f.TabSheet3);  // one group: the page's only radio buttons
    QCOMPARE(radio->geometry(), QRect(432, 392 + 24 * (n - 1), described.width, 17));
    QCOMPARE(radio->text(), QString::fromUtf8(described.caption));
    QVERIFY(!radio->isChecked());
    QVERIFY(f.RadioGroup1->geometry().contains(radio->geometry()));
  }
}

void WindowLayoutTest::windowCaptionPageAndHint() {
  WindowFixture fx;
  TForm1& f = fx.form();
  QCOMPARE(f.windowTitle(), QString("Kalvora"));
  QCOMPARE(f.PageControl1->geometry(), QRect(8, 8, 673, 577));
  QCOMPARE(f.PageControl1->currentWidget(), f.TabSheet1);
  QCOMPARE(f.PageControl1->count(), 5);
  QCOMPARE(f.PageControl1->tabText(0), QString("プログラムナンバー"));
  QCOMPARE(f.PageControl1->tabText(1), QString("バンクセレクト"));
  QCOMPARE(f.PageControl1->tabText(2), QString("エフェクト"));
  QCOMPARE(f.PageControl1->tabText(3), QString("ドラムセット"));
  QCOMPARE(f.PageControl1->tabText(4), QString("音色検索"));
  QVERIFY(!f.windowIcon().isNull());
  QVERIFY(f.windowIcon().availableSizes().contains(QSize(16, 16)));
  QVERIFY(f.windowIcon().availableSizes().contains(QSize(32, 32)));
  // Only the switch button has a hint.
  for (QWidget* w : f.findChildren<QWidget*>()) {
    if (w == f.Button(257)) {
      QCOMPARE(w->toolTip(), QString("このボタンはゆっくり押してください"));
    } else {
      QVERIFY2(w->toolTip().isEmpty(), qPrintable(w->metaObject()->className()));
    }
  }
  // Before the first note the number labels are blank.
  QVERIFY(f.Label(10)->text().isEmpty());
  QVERIFY(f.Label(12)->text().isEmpty());
}

void WindowLayoutTest::oneFontForEveryControl() {
  WindowFixture fx;
  TForm1& f = fx.form();
  for (QWidget* w : f.findChildren<QWidget*>()) {
    const QFontInfo info(w->font());
    QCOMPARE(w->font().pixelSize(), 12);
    QCOMPARE(w->font().family(), QString("ＭＳ Ｐゴシック"));
    QCOMPARE(info.family(), QString("IPAPGothic"));
    QVERIFY(!info.bold() && !info.italic());
  }
}

void WindowLayoutTest::scrollBarsAppearOnlyBelowTheContentSize() {
  WindowFixture fx;
  TForm1& f = fx.form();
  fx.show();
  QScrollArea* scroller = f.scroller();
  const QRect before = f.Button(128)->geometry();
  f.resize(831, 664);
  QTRY_VERIFY(!scroller->horizontalScrollBar()->isVisible());
  QVERIFY(!scroller->verticalScrollBar()->isVisible());
  f.resize(500, 400);
  QTRY_VERIFY(scroller->horizontalScrollBar()->isVisible());
  QVERIFY(scroller->verticalScrollBar()->isVisible());
  // The controls keep their places; scrolling brings the hidden ones into view.
  QCOMPARE(f.Button(128)->geometry(), before);
  scroller->verticalScrollBar()->setValue(scroller->verticalScrollBar()->maximum());
  scroller->horizontalScrollBar()->setValue(scroller->horizontalScrollBar()->maximum());
  const QRect shown =
      QRect(f.Shape(59)->mapTo(scroller->viewport(), QPoint(0, 0)), f.Shape(59)->size());
  QVERIFY(scroller->viewport()->rect().contains(shown));
  f.resize(700, 664);
  QTRY_VERIFY(scroller->horizontalScrollBar()->isVisible());
}

void WindowLayoutTest::tabVisitsPageControlsThenTheSwitchButton() {
  WindowFixture fx;
  TForm1& f = fx.form();
  fx.show();
  f.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&f));
  const auto tabFrom = [&](QWidget* start, int presses) {
    start->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> visited;
    for (int i = 0; i < presses; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited.push_back(QApplication::focusWidget());
    }
    return visited;
  };
  // Program page: the tab bar, then Button1..128 in order, then Button257.
  auto visited = tabFrom(f.PageControl1->tabBar(), 130);
  for (int n = 1; n <= 128; ++n) QCOMPARE(visited[n - 1], static_cast<QWidget*>(f.Button(n)));
  QCOMPARE(visited[128], static_cast<QWidget*>(f.Button(257)));
  for (QWidget* w : visited) {
    QVERIFY(qobject_cast<kalvora::KeyShape*>(w) == nullptr);
    QVERIFY(qobject_cast<QLabel*>(w) == nullptr);
  }
  // Effect page: the ticked radio button only, then the five scroll bars, then Button257.
  f.PageControl1->setCurrentWidget(f.TabSheet3);
  visited = tabFrom(f.PageControl1->tabBar(), 7);
  QCOMPARE(visited[0], static_cast<QWidget*>(f.RadioButton(1)));
  for (int n = 1; n <= 5; ++n) QCOMPARE(visited[n], static_cast<QWidget*>(f.ScrollBar(n)));
  QCOMPARE(visited[6], static_cast<QWidget*>(f.Button(257)));
}

// The README's table of the window's texts, for those who read no Japanese, misses none: every
// text of a control on any page, and every line of every message box.
void WindowLayoutTest::everyTextIsGlossedInTheReadme() {
  QFile readme(KALVORA_README);
  QVERIFY(readme.open(QIODevice::ReadOnly));
  const QString glossary = QString::fromUtf8(readme.readAll());
  WindowFixture fx({"A"}, {}, {}, false);  // no device name, no tone names: only the window's own
  TForm1& f = fx.form();
  QStringList texts{f.windowTitle()};
  for (int tab = 0; tab < f.PageControl1->count(); ++tab) texts << f.PageControl1->tabText(tab);
  for (const QWidget* w : f.findChildren<QWidget*>()) {
    texts << w->property("text").toString() << w->property("title").toString() << w->toolTip();
  }
  for (const char* message : {form::kCannotOpenDevice, form::kNoDevices, form::kSettingsUnreadable,
                              form::kSettingsUnwritable, form::kSettingsMoved,
                              form::kSaveMidiFileTitle, form::kMidiFileUnwritable}) {
    texts << QString::fromUtf8(message).split('\n');
  }
  for (MMRESULT code = 1; code <= 64; ++code)
    texts << QString::fromUtf8(kalvora::OpenFailureText(code));
  int looked = 0;
  for (const QString& text : texts) {
    bool isNumber = false;
    text.toInt(&isNumber);
    if (text.isEmpty() || isNumber) continue;
    ++looked;
    QVERIFY2(glossary.contains(text), qPrintable(text + " is missing from the README's table"));
  }
  QVERIFY(looked > 40);
}

// One set of each map, chosen as a user does: the buttons carry the map's sets, and every key the
// set sounds has its name drawn on the page at the key's height, apart from every other name and
// control; nothing is drawn beside the page.
void WindowLayoutTest::drumSetsStandInTheProgramGridWithTheirKeysNamedBeside() {
  WindowFixture fx;
  TForm1& f = fx.form();
  fx.show();
  kalvora::DrumPage* page = f.TabSheet4;
  const QRect beside(f.PageControl1->geometry().right() + 1, 0, f.clientArea()->width(),
                     f.clientArea()->height());
  const QImage besideOnProgramPage = f.clientArea()->grab(beside).toImage();
  f.PageControl1->setCurrentWidget(page);
  struct Case {
    int radioButton, map, program;
    int buttons;
    const char* lastCaption;
  };
  const Case cases[] = {{5, 0, 1, 1, "1: STANDARD"},
                        {4, 1, 57, 10, "128: CM-64/32L"},
                        {3, 2, 51, 14, "58: RHYTHM FX"},
                        {2, 3, 26, 25, "59: RHYTHM FX 2"},
                        {1, 4, 60, 37, "63: CYM&&CLAPS 2"},
                        // Back to a map shown before: its names are laid out anew.
                        {5, 0, 1, 1, "1: STANDARD"}};
  for (const auto& c : cases) {
    f.RadioButton(c.radioButton)->setChecked(true);
    fx.click(page->button(1));  // the captions follow the map at the next press
    int n = 1;
    while (page->programOfButton(n) != c.program) ++n;
    fx.click(page->button(n));
    const auto* set = kalvora::FindDrumSet(c.map, c.program);
    QVERIFY(set != nullptr);
    QCOMPARE(page->setLabel()->text(), QString::number(c.program) + ": " + set->name.data());
    QVERIFY(page->button(c.buttons)->isVisible());
    QCOMPARE(page->button(c.buttons)->text(), QString(c.lastCaption));
    QCOMPARE(page->button(c.buttons)->geometry(), f.Button(c.buttons)->geometry());
    if (c.buttons < 37) QVERIFY(!page->button(c.buttons + 1)->isVisible());

    const QImage shot = page->grab().toImage();
    const auto& names = page->placedNames();
    int named = 0;
    for (int shape = 1; shape <= kalvora::kKeyCount; ++shape) {
      named += !kalvora::DrumKeyName(c.map, c.program, kalvora::KeyOf(shape).note).empty();
    }
    QVERIFY2(
        static_cast<int>(names.size()) == named,
        qPrintable(
            QString("map %1: %2 of %3 named keys drawn").arg(c.map).arg(names.size()).arg(named)));
    for (std::size_t i = 0; i < names.size(); ++i) {
      const auto& name = names[i];
      const QString why = QString("map %1 note %2").arg(c.map).arg(name.note);
      QVERIFY2(page->rect().contains(name.box), qPrintable(why));
      for (std::size_t j = 0; j < i; ++j)
        QVERIFY2(!names[j].box.intersects(name.box), qPrintable(why));
      for (const QObject* child : page->children()) {
        const auto* control = qobject_cast<const QWidget*>(child);
        if (control != nullptr && control->isVisible())
          QVERIFY2(!control->geometry().intersects(name.box), qPrintable(why));
      }
      // At its key's height, unless the page's bottom edge holds it up.
      int shape = 1;
      while (kalvora::KeyOf(shape).note != name.note) ++shape;
      const QRect key(page->mapFrom(f.clientArea(), QPoint(kalvora::KeyOf(shape).rect.left,
                                                           kalvora::KeyOf(shape).rect.top)),
                      QSize(1, kalvora::KeyOf(shape).rect.height));
      QVERIFY2(name.box.top() <= key.bottom() &&
                   name.box.bottom() >= std::min(key.top(), page->rect().bottom()),
               qPrintable(why));
      // Drawn: the box holds both the text's colour and its ground.
      int ink = 0;
      for (int y = name.box.top(); y <= name.box.bottom(); ++y) {
        for (int x = name.box.left(); x <= name.box.right(); ++x) {
          const int lightness = shot.pixelColor(x, y).lightness();
          ink += name.black ? lightness > 160 : lightness < 96;
        }
      }
      QVERIFY2(ink > name.text.size(), qPrintable(why));
    }
    QCOMPARE(f.clientArea()->grab(beside).toImage(), besideOnProgramPage);
  }
}

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
