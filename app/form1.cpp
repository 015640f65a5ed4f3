#include "app/form1.h"

#include <QFont>
#include <QGroupBox>
#include <QHelpEvent>
#include <QIcon>
#include <QLabel>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QTabBar>
#include <QTabWidget>
#include <QToolTip>

#include "app/form_description.h"
#include "app/search_line_text.h"
#include "app/window_font.h"
#include "midi/input/input_inbox.h"
#include "play/input_router.h"
#include "play/voice_state.h"
#include "ui/computer_keyboard.h"
#include "ui/drum_page.h"
#include "ui/focus_scroll_bar.h"
#include "ui/held_press_watch.h"
#include "ui/key_shape.h"
#include "ui/keyboard_layout.h"
#include "ui/pointer_rest.h"
#include "ui/press_button.h"
#include "ui/search_page.h"
#include "ui/tone_button_grid.h"
#include "ui/utf8_text.h"

TForm1* Form1 = nullptr;

// The icons are compiled into this static library, which has to register them itself (outside
// any namespace, as the registration function is declared where the macro stands).
static void RegisterIcons() { Q_INIT_RESOURCE(icons); }

namespace {

using kalvora::ControlRect;
using kalvora::Text;
namespace form = kalvora::form;

void Place(QWidget* w, const ControlRect& r) { w->setGeometry(r.left, r.top, r.width, r.height); }

}  // namespace

TForm1::TForm1(ControlsBuilt when, QWidget* parent) : QMainWindow(parent) {
  Form1 = this;
  kalvora::MainView = this;
  setWindowTitle(form::kCaption);
  setFont(kalvora::WindowFont());

  scroller_ = new QScrollArea(this);
  scroller_->setFrameShape(QFrame::NoFrame);
  scroller_->setWidgetResizable(false);
  // A click on a key, a label or the background would otherwise hand the focus to the scrolling
  // area (it takes the focus of any control that refuses it), and the arrow keys meant for a
  // scroll bar would scroll the window; it would also be an invisible Tab stop.
  scroller_->setFocusPolicy(Qt::NoFocus);
  // The client area goes into the window first, so every control inherits the window's font
  // before labels size themselves to their text.
  clientArea_ = new QWidget;
  scroller_->setWidget(clientArea_);
  setCentralWidget(scroller_);
  resize(kStartWidth, kStartHeight);
  pointerRest_ = new kalvora::PointerRest(this);
  connect(pointerRest_, &kalvora::PointerRest::rested, this, &TForm1::pointerRested);
  computerKeyboard_ = new kalvora::ComputerKeyboard(
      this, [this](int note) { return FormKeyDown(note); },
      [this](kalvora::HeldNote note) { FormKeyUp(note); });
  heldPressWatch_ = new kalvora::HeldPressWatch(this);
  buildCarryShortcuts();

  // MIDI input is played as soon as it arrives, between the window's own events.
  if (const int ready = kalvora::MidiInputReadyFd(); ready >= 0) {
    auto* notifier = new QSocketNotifier(ready, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this,
            [] { kalvora::DeliverMidiInput(kalvora::RouteMidiInput); });
  }

  if (when == ControlsBuilt::kAtConstruction) completeWindow();
}

// Everything the window shows beyond its empty frame: the icon and the controls. Runs once.
void TForm1::completeWindow() {
  if (PageControl1) return;
  RegisterIcons();
  QIcon icon;
  icon.addFile(":/icons/kalvora-32.png", QSize(32, 32));
  icon.addFile(":/icons/kalvora-16.png", QSize(16, 16));
  setWindowIcon(icon);

  buildWindowControls();
  const QRect covered = clientArea_->childrenRect();
  clientArea_->resize(covered.right() + 1, covered.bottom() + 1);
}

// What showing would otherwise do first: the controls, their style, and the window on the
// display (made, not yet mapped).
void TForm1::prepareForShowing() {
  completeWindow();
  ensurePolished();
  create();
  // Some platforms know the frame as soon as the window is made; the outer size asked for holds.
  if (!requestedFrame_.isNull() && frameGeometry() != requestedFrame_)
    setOuterGeometry(requestedFrame_);
}

TForm1::~TForm1() {
  // Their handlers are this window's; none may run once the window is half taken down.
  delete computerKeyboard_;
  delete heldPressWatch_;
  if (kalvora::MainView == this) kalvora::MainView = nullptr;
  if (Form1 == this) Form1 = nullptr;
}

QLabel* TForm1::makeLabel(int n, QWidget* parent, int left, int top, const char* caption) {
  auto* label = new QLabel(QString::fromUtf8(caption), parent);
  label->setFocusPolicy(Qt::NoFocus);
  label->move(left, top);
  label->adjustSize();
  labels_.at(n - 1) = label;
  return label;
}

// Creation order fixes the focus chain (the pages' controls before Button257) and the stacking
// of the keys (a later key lies on top).
void TForm1::buildWindowControls() {
  PageControl1 = new QTabWidget(clientArea_);
  Place(PageControl1, form::kPageControlRect);
  // A tab control takes the focus when a tab is clicked, as well as by Tab.
  PageControl1->tabBar()->setFocusPolicy(Qt::StrongFocus);
  buildTonePages();
  buildEffectPage();
  buildDrumPage();
  buildSearchPage();
  PageControl1->setCurrentWidget(TabSheet1);
  connect(PageControl1, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });
  buildStatusLine();
  buildKeyboard();
}

void TForm1::buildTonePages() {
  TabSheet1 = new QWidget;
  TabSheet2 = new QWidget;
  PageControl1->addTab(TabSheet1, form::kProgramTab);
  PageControl1->addTab(TabSheet2, form::kBankTab);
  for (int n = 1; n <= kalvora::kToneButtonCount; ++n) {
    QWidget* page = n <= kalvora::kButtonsPerPage ? TabSheet1 : TabSheet2;
    auto* button = new kalvora::PressButton(page);
    Place(button, kalvora::ToneButtonRect(n));
    connect(&button->held(), &kalvora::HeldPress::mouseDown, this,
            [this, n](Qt::MouseButton mouse) { ButtonMouseDown(n, mouse); });
    connect(&button->held(), &kalvora::HeldPress::mouseUp, this,
            [this, n](Qt::MouseButton mouse) { ButtonMouseUp(n, mouse); });
    button->installEventFilter(this);
    pointerRest_->watch(button);
    buttons_.at(n - 1) = button;
  }
}

void TForm1::buildEffectPage() {
  TabSheet3 = new QWidget;
  PageControl1->addTab(TabSheet3, form::kEffectTab);
  RadioGroup1 = new QGroupBox(form::kRadioGroupTitle, TabSheet3);
  Place(RadioGroup1, form::kRadioGroupRect);
  for (int n = 1; n <= kRadioButtons; ++n) {
    const auto& radio = form::kRadios[n - 1];
    auto* button = new QRadioButton(QString::fromUtf8(radio.caption), TabSheet3);
    Place(button, {form::kRadioLeft, form::kRadioFirstTop + form::kRadioPitch * (n - 1),
                   radio.width, form::kRadioHeight});
    connect(button, &QRadioButton::toggled, this, [this, n] { RadioButtonClick(n); });
    radioButtons_.at(n - 1) = button;
  }
  for (int n = 1; n <= kScrollBars; ++n) {
    const auto& row = form::kEffectRows[n - 1];
    const int labelTop = form::kEffectFirstTop + form::kEffectPitch * (n - 1);
    makeLabel(row.nameLabel, TabSheet3, form::kEffectLeft, labelTop, row.name);
    makeLabel(row.valueLabel(), TabSheet3, row.valueLeft, labelTop,
              std::to_string(row.position).c_str());
    auto* bar = new kalvora::FocusScrollBar(Qt::Horizontal, TabSheet3);
    Place(bar, {form::kEffectLeft, labelTop + form::kScrollBarBelowLabel,
                form::kScrollBarSize.width, form::kScrollBarSize.height});
    bar->setRange(0, form::kLevelMax);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setValue(row.position);
    bar->setFocusPolicy(Qt::StrongFocus);
    // Qt's scroll bars invert the arrow keys by default; on these bars Right means more.
    bar->setInvertedControls(false);
    // Bound after the first position is set, so no handler runs while the window is built.
    connect(bar, &QScrollBar::valueChanged, this, [this, n] { ScrollBarChange(n); });
    scrollBars_.at(n - 1) = bar;
  }
}

void TForm1::buildDrumPage() {
  TabSheet4 = new kalvora::DrumPage(clientArea_, shapes_, form::kDrumSetCaption);
  PageControl1->addTab(TabSheet4, form::kDrumTab);
  connect(TabSheet4, &kalvora::DrumPage::setButtonDown, this, &TForm1::DrumButtonMouseDown);
  connect(TabSheet4, &kalvora::DrumPage::setButtonUp, this, &TForm1::DrumButtonMouseUp);
  for (int n = 1; n <= TabSheet4->buttonCount(); ++n) {
    TabSheet4->button(n)->installEventFilter(this);
    pointerRest_->watch(TabSheet4->button(n));
  }
}

void TForm1::buildSearchPage() {
  TabSheet5 = new kalvora::SearchPage(
      [this](const kalvora::FoundName& entry) { return SearchLineText(entry, synthMarks_); },
      QString::fromUtf8(form::kNothingFound));
  PageControl1->addTab(TabSheet5, form::kSearchTab);
  connect(TabSheet5, &kalvora::SearchPage::lineMouseDown, this, &TForm1::SearchLineMouseDown);
  connect(TabSheet5, &kalvora::SearchPage::lineMouseUp, this, &TForm1::SearchLineMouseUp);
  connect(TabSheet5, &kalvora::SearchPage::lineKeyDown, this, &TForm1::SearchLineKeyDown);
  connect(TabSheet5, &kalvora::SearchPage::lineKeyUp, this, &TForm1::SearchLineKeyUp);
  connect(TabSheet5, &kalvora::SearchPage::lineRested, this, [this](int row) {
    if (const kalvora::FoundName* entry = TabSheet5->entry(row)) kalvora::PrepareSearchLine(*entry);
  });
}

// Worked out when asked for, so a press writes no tooltip.
QString TForm1::synthToolTip(const QObject* control) {
  for (int n = 1; n <= kalvora::kToneButtonCount; ++n) {
    if (buttons_.at(n - 1) != control) continue;
    const bool program = n < kalvora::kFirstBankButton;
    return Text(synthMarks_.toneMark(MapIndex, program ? n : ProgramNumber,
                                     program ? BankNumber : n - kalvora::kFirstBankButton));
  }
  for (int n = 1; n <= TabSheet4->buttonCount(); ++n) {
    if (TabSheet4->button(n) != control) continue;
    const kalvora::DrumSet* set =
        kalvora::FindDrumSet(TabSheet4->shownMap(), TabSheet4->programOfButton(n));
    return set != nullptr ? Text(synthMarks_.drumSetMark(*set)) : QString();
  }
  return {};
}

void TForm1::pointerRested(const QWidget* control) {
  for (int n = 1; n <= kalvora::kToneButtonCount; ++n) {
    if (buttons_.at(n - 1) == control) return kalvora::PrepareToneButton(n);
  }
  for (int n = 1; n <= TabSheet4->buttonCount(); ++n) {
    if (TabSheet4->button(n) == control)
      return kalvora::PrepareDrumSet(TabSheet4->programOfButton(n));
  }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QMainWindow::eventFilter(watched, event);
  const QString tip = synthToolTip(watched);
  if (tip.isEmpty()) {
    QToolTip::hideText();
    event->ignore();
  } else {
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip,
                       static_cast<QWidget*>(watched));
  }
  return true;
}

void TForm1::buildStatusLine() {
  auto* switchButton = new kalvora::PressButton(clientArea_);
  switchButton->setText(form::kSwitchCaption);
  switchButton->setToolTip(form::kSwitchHint);
  Place(switchButton, form::kSwitchButtonRect);
  connect(&switchButton->held(), &kalvora::HeldPress::mouseDown, this, &TForm1::Button257MouseDown);
  connect(&switchButton->held(), &kalvora::HeldPress::mouseUp, this, &TForm1::Button257MouseUp);
  // Its release opens the next device: only a release, not a window closing or losing the
  // focus, does that.
  switchButton->held().setEndsWhenWindowLeaves(false);
  buttons_.at(kalvora::kSwitchButton - 1) = switchButton;

  for (const auto& label : form::kWindowLabels)
    makeLabel(label.n, clientArea_, label.left, label.top, label.text);
  for (int n : {form::kProgramNumberLabel, form::kBankNumberLabel}) {
    QLabel* number = Label(n);
    QPalette palette = number->palette();
    palette.setColor(QPalette::Window, Qt::white);
    number->setPalette(palette);
    number->setAutoFillBackground(true);
  }
}

void TForm1::buildKeyboard() {
  for (int n = 1; n <= kShapes; ++n) {
    const auto& key = kalvora::KeyOf(n);
    auto* shape = new kalvora::KeyShape(key.black ? Qt::black : Qt::white, clientArea_);
    Place(shape, key.rect);
    connect(&shape->held(), &kalvora::HeldPress::mouseDown, this,
            [this, n](Qt::MouseButton mouse) { ShapeMouseDown(n, mouse); });
    connect(&shape->held(), &kalvora::HeldPress::mouseUp, this,
            [this, n](Qt::MouseButton mouse) { ShapeMouseUp(n, mouse); });
    shapes_.at(n - 1) = shape;
  }
}

void TForm1::setButtonCaption(int button, std::string_view caption) {
  buttons_.at(button - 1)->setText(kalvora::ShownOnButton(Text(caption)));
}

void TForm1::showDrumSets(int map, const kalvora::DrumSet& set) {
  if (TabSheet4 != nullptr) TabSheet4->showSets(map, set);
}

void TForm1::setLabelText(int n, const QString& caption) {
  Label(n)->setText(caption);
  Label(n)->adjustSize();
}

void TForm1::setProgramLabel(std::string_view caption) {
  setLabelText(form::kProgramNumberLabel, Text(caption));
}

void TForm1::setBankLabel(std::string_view caption) {
  setLabelText(form::kBankNumberLabel, Text(caption));
}

void TForm1::setDeviceLabel(std::string_view caption) {
  synthMarks_.deviceChanged(caption);
  setLabelText(form::kDeviceNameLabel, Text(caption));
}
