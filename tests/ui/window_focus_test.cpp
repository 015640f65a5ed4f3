// Where the keyboard focus goes when the user clicks: only push buttons, the tab bar, scroll bars
// and radio buttons take it; the scrolling area never does; a focused scroll bar shows it.
#include <QAbstractScrollArea>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>

#include "window_fixture.h"

using kalvora::test::WindowFixture;

class WindowFocusTest : public QObject {
  Q_OBJECT
 private slots:
  void clicksBesideTheFocusableControlsLeaveTheFocusWhereItWas();
  void pushButtonsTheTabBarScrollBarsAndRadioButtonsTakeIt();
  void tabNeverStopsOnTheScrollingArea();
  void aFocusedScrollBarLooksFocused();

 private:
  // The window shown and active, the effect page up.
  static void showEffectPage(WindowFixture& fx) {
    fx.show();
    fx.form().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&fx.form()));
    fx.form().PageControl1->setCurrentWidget(fx.form().TabSheet3);
  }
};

void WindowFocusTest::clicksBesideTheFocusableControlsLeaveTheFocusWhereItWas() {
  WindowFixture fx;
  showEffectPage(fx);
  TForm1& f = fx.form();
  QScrollBar* velocity = f.ScrollBar(1);
  fx.click(velocity, Qt::LeftButton);
  QCOMPARE(QApplication::focusWidget(), velocity);
  const QPoint pageSpace = fx.pixelOf(f.TabSheet3, {300, 40});
  const QPoint background = fx.pixelOf(f.clientArea(), {800, 620});
  QCOMPARE(f.clientArea()->childAt(800, 620), nullptr);
  for (const QPoint at : {fx.pixelOf(f.Shape(22)), fx.pixelOf(f.Label(1)), fx.pixelOf(f.Label(18)),
                          fx.pixelOf(f.Label(8), {0, 0}), pageSpace, background}) {
    fx.press(at);
    fx.release(at);
    QVERIFY2(QApplication::focusWidget() == velocity,
             qPrintable(QString("after a click at %1,%2").arg(at.x()).arg(at.y())));
  }
  // The arrow keys still reach the scroll bar.
  const int before = velocity->value();
  QTest::keyClick(f.windowHandle(), Qt::Key_Right);
  QCOMPARE(velocity->value(), before + 1);
}

void WindowFocusTest::pushButtonsTheTabBarScrollBarsAndRadioButtonsTakeIt() {
  WindowFixture fx;
  showEffectPage(fx);
  TForm1& f = fx.form();
  QTabBar* tabs = f.PageControl1->tabBar();
  const QList<QWidget*> takers{f.ScrollBar(3), f.Button(257), f.RadioButton(2), tabs};
  for (QWidget* taker : takers) {
    const QPoint at =
        taker == tabs ? fx.pixelOf(tabs, tabs->tabRect(2).center()) : fx.pixelOf(taker);
    fx.press(at);
    fx.release(at);
    QCOMPARE(QApplication::focusWidget(), taker);
  }
  f.PageControl1->setCurrentWidget(f.TabSheet1);
  fx.click(f.Button(5));
  QCOMPARE(QApplication::focusWidget(), f.Button(5));
}

void WindowFocusTest::tabNeverStopsOnTheScrollingArea() {
  WindowFixture fx;
  showEffectPage(fx);
  TForm1& f = fx.form();
  QVERIFY(!qobject_cast<QAbstractScrollArea*>(QApplication::focusWidget()));
  for (int i = 0; i < 40; ++i) {
    QTest::keyClick(f.windowHandle(), Qt::Key_Tab);
    QWidget* now = QApplication::focusWidget();
    QVERIFY2(!qobject_cast<QAbstractScrollArea*>(now), "Tab stopped on the scrolling area");
  }
  // Starting from the window itself, the tab bar is the first stop.
  f.Button(257)->setFocus();
  QTest::keyClick(f.windowHandle(), Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), f.PageControl1->tabBar());
}

void WindowFocusTest::aFocusedScrollBarLooksFocused() {
  WindowFixture fx;
  showEffectPage(fx);
  TForm1& f = fx.form();
  f.Button(257)->setFocus();
  const QImage unfocused = f.ScrollBar(2)->grab().toImage();
  f.ScrollBar(2)->setFocus();
  QCOMPARE(QApplication::focusWidget(), f.ScrollBar(2));
  QVERIFY(f.ScrollBar(2)->grab().toImage() != unfocused);
}

QTEST_MAIN(WindowFocusTest)
#include "window_focus_test.moc"
