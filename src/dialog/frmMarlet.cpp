#include "dialog/frmMarlet.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTextDocument>
#include <QTreeWidget>
#include <algorithm>

#include "dialog/QtServices.h"
#include "dialog/frmAbout.h"
#include "engine/modMarlet.h"
#include "platform/Text.h"

namespace tolvan::dialog {
namespace {

// Client area of the window, in twips.
constexpr int kClientWidth = 10395;
constexpr int kClientHeight = 5760;

// The tree is 2175 twips wide, so that its longest caption (a page two
// levels deep, beside the vertical scroll bar) fits at 9 pt; the pages
// start right of it and keep their right edge, 120 twips inside the window.
constexpr int kTreeWidth = 2175;
constexpr int kPageLeft = 2400;
constexpr int kPageWidth = 7935;
// A box that runs across the page, 120 twips in from either side.
constexpr int kPageInnerWidth = kPageWidth - 240;

// A frame's caption sits on its top line, as a Windows frame draws it, so
// the line passes above the page's first control instead of through it.
constexpr char kFrameStyle[] =
    "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
    "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
    " left: 7px; padding: 0px 2px; }";

constexpr int kKeyRole = Qt::UserRole;

QString Indexed(const char* name, int index) {
  return QString::fromLatin1(name) + QLatin1Char('_') + QString::number(index);
}

// The raw text of a multi-line box: toPlainText would also turn no-break
// spaces into plain ones, which must survive a round trip.
QString BoxText(const QPlainTextEdit* box) {
  QString text = box->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  return text;
}

std::u16string RecordText(const QWidget* box) {
  if (auto* plain = qobject_cast<const QPlainTextEdit*>(box)) {
    return FromBoxText(ToU16(BoxText(plain)));
  }
  return ToU16(static_cast<const QLineEdit*>(box)->text());
}

void SetRecordText(QWidget* box, std::u16string_view text) {
  if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) {
    plain->setPlainText(ToQString(ToBoxText(text)));
  } else {
    static_cast<QLineEdit*>(box)->setText(ToQString(text));
  }
}

QPlainTextEdit* MakeMultiLineBox(QWidget* parent, const QString& name, QRect geometry) {
  auto* box = new QPlainTextEdit(parent);
  box->setObjectName(name);
  box->setGeometry(geometry);
  box->setFont(MonospaceFont());
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  box->setTabChangesFocus(true);
  return box;
}

// The macro legend, column by column, top to bottom.
const char16_t* const kLegend[3][6] = {
    {u"$p：VB Project名", u"$d：日付", u"$a：プロジェクトの説明", u"$m：Module名",
     u"$c：Procedure名", u"$f：Functionの戻り値の型"},
    {u"$n1：第1引数名", u"$t1：第1引数の型", u"$r1：第1引数のByVal/ByRef", u"$n2：第2以降の引数名",
     u"$t2：第2以降の引数の型", u"$r2：第2以降の引数のByVal/ByRef"},
    {u"$e1：引数の番号(半角)", u"$e2：引数の番号(全角)", u"$o1：引数がOptionalか",
     u"$o2：Optionalの初期値があるか", u"$o3：Optionalの初期値", nullptr},
};

const char16_t* const kRefLabels[6] = {
    u"ByValの時に$r1、$r2に表示する文字",  u"ByRefの時に$r1、$r2に表示する文字",
    u"引数が一つも無い場合に表示する文字", u"Optionalの時に$o1に表示する文字",
    u"初期値がある時に$o2に表示する文字",  u"$dの日付フォーマット",
};

const char16_t* const kClickLabels[4] = {u"クリック：", u"Shift＋クリック：", u"Ctrl＋クリック：",
                                         u"Ctrl＋Shift＋クリック："};

constexpr std::u16string_view kNoMacroMessage = u"マクロが未入力です";
constexpr std::u16string_view kNoReplacementMessage = u"置換文字列が未入力です";
constexpr std::u16string_view kMacroExistsMessage = u"すでに存在しています";
constexpr std::u16string_view kNoSuchMacroMessage = u"指定された項目は存在しません。";
// A pasted word can hold what the key filter keeps out of a typed one.
constexpr std::u16string_view kRefusedWordMessage = u"マクロに \" や $ は使用できません";
constexpr std::u16string_view kSaveFailedMessage = u"設定を保存できませんでした。";
constexpr std::u16string_view kLoadFailedMessage = u"設定を読み込めませんでした。";

// A key that puts a character into a text box. Tab, Return and the other
// control characters move the focus or press a button instead.
bool TypesCharacter(const QKeyEvent& event) {
  const QString text = event.text();
  if (text.isEmpty()) return false;
  return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isPrint(); });
}

std::u16string WithReason(std::u16string_view message, const Status& status) {
  std::u16string text(message);
  if (!status.message().empty()) {
    text += u"\n";
    text += Utf8ToUtf16(status.message());
  }
  return text;
}

}  // namespace

frmMarlet::frmMarlet(SettingsRecord& settings, const Services& services, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      files_(services.files),
      registry_(services.registry),
      chooser_(services.file_chooser),
      messages_(services.messages),
      desktop_(services.desktop),
      clock_(services.clock),
      expander_(&ExpandMacro) {
  if (chooser_ == nullptr) {
    own_chooser_ = std::make_unique<QtFileChooser>(this);
    chooser_ = own_chooser_.get();
  }
  if (messages_ == nullptr) {
    own_messages_ = std::make_unique<QtMessageBoxes>(this);
    messages_ = own_messages_.get();
  }
  if (desktop_ == nullptr) {
    own_desktop_ = std::make_unique<QtDesktopLauncher>();
    desktop_ = own_desktop_.get();
  }
  if (clock_ == nullptr) {
    own_clock_ = std::make_unique<SystemClock>();
    clock_ = own_clock_.get();
  }
  LoadQtTranslations();
  setObjectName(QStringLiteral("frmMarlet"));
  BuildWindow();
}

frmMarlet::~frmMarlet() = default;

void frmMarlet::SetExpanderForTesting(Expander expander) { expander_ = std::move(expander); }

void frmMarlet::SetToolbars(const std::vector<std::u16string>& toolbars) {
  vntToolbarNames = toolbars;
}

// ---------------------------------------------------------------------------
// The window and its pages.

QLabel* frmMarlet::AddLabel(QWidget* parent, const QString& name, const QString& text,
                            QRect geometry) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setGeometry(geometry);
  return label;
}

void frmMarlet::WatchKeys(QWidget* control) { control->installEventFilter(this); }

void frmMarlet::BuildWindow() {
  setFont(UiFont());
  setWindowTitle(ToQString(kProductTitle));
  setWindowIcon(AddinIcon());
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  const Twips tw(this);

  auto* bar = new QMenuBar(this);
  bar->setObjectName(QStringLiteral("mnuBar"));
  bar->setNativeMenuBar(false);
  BuildMenus(bar);
  const int bar_height = bar->sizeHint().height();
  bar->setGeometry(0, 0, tw(kClientWidth), bar_height);

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  client->setGeometry(0, bar_height, tw(kClientWidth), tw(kClientHeight));
  setFixedSize(tw(kClientWidth), bar_height + tw(kClientHeight));

  tvwMenu = new QTreeWidget(client);
  tvwMenu->setObjectName(QStringLiteral("tvwMenu"));
  tvwMenu->setGeometry(tw.Rect(120, 240, kTreeWidth, 5415));
  tvwMenu->setHeaderHidden(true);
  tvwMenu->setColumnCount(1);
  // Every caption fits: no sideways scroll bar, which would cover the last
  // visible node.
  tvwMenu->setIndentation(tw(150));
  tvwMenu->setTextElideMode(Qt::ElideNone);
  tvwMenu->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  connect(tvwMenu, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* node, QTreeWidgetItem*) { tvwMenu_NodeClick(node); });

  for (int n = 0; n < kPageCount; ++n) {
    auto* frame = new QGroupBox(client);
    frame->setObjectName(Indexed("fraComment", n));
    frame->setGeometry(tw.Rect(kPageLeft, 120, kPageWidth, 3495));
    frame->setStyleSheet(QLatin1String(kFrameStyle));
    frame->setEnabled(false);
    frame->hide();
    fraComment[n] = frame;
  }
  for (int n = 0; n < kTemplatePageCount; ++n) BuildTemplatePage(n);
  BuildParameterPage();
  BuildUserMacroPage();
  BuildBehaviourPage();
  for (int p = 1; p <= kLinePatternCount; ++p) BuildLineCommentPage(LineCommentPage(p));
  BuildClickPage();
  BuildLegend(client);

  cmdOK = new QPushButton(QStringLiteral("OK"), client);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setGeometry(tw.Rect(7680, 5280, 1215, 375));
  cmdOK->setAutoDefault(false);
  cmdOK->installEventFilter(this);
  connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
  cmdCancel = new QPushButton(QStringLiteral("キャンセル"), client);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  cmdCancel->setGeometry(tw.Rect(9000, 5280, 1215, 375));
  cmdCancel->setAutoDefault(false);
  cmdCancel->installEventFilter(this);
  connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmMarlet::BuildMenus(QMenuBar* bar) {
  QMenu* file = bar->addMenu(QStringLiteral("ファイル(&F)"));
  file->setObjectName(QStringLiteral("mnuFile"));
  QAction* load = file->addAction(QStringLiteral("設定の読込み(&L)..."));
  load->setObjectName(QStringLiteral("mnuLoad"));
  connect(load, &QAction::triggered, this, [this] { mnuLoad_Click(); });
  QAction* save = file->addAction(QStringLiteral("設定の保存(&S)..."));
  save->setObjectName(QStringLiteral("mnuSave"));
  connect(save, &QAction::triggered, this, [this] { mnuSave_Click(); });
  QAction* exit = file->addAction(QStringLiteral("設定画面の終了(&X)"));
  exit->setObjectName(QStringLiteral("mnuExit"));
  connect(exit, &QAction::triggered, this, [this] { mnuExit_Click(); });

  QMenu* help = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
  help->setObjectName(QStringLiteral("mnuHelp"));
  QAction* contents = help->addAction(QStringLiteral("目次(&C)..."));
  contents->setObjectName(QStringLiteral("mnuHelpContents"));
  connect(contents, &QAction::triggered, this, [this] { mnuHelpContents_Click(); });
  QAction* about = help->addAction(QStringLiteral("バージョン情報(&A)..."));
  about->setObjectName(QStringLiteral("mnuAbout"));
  connect(about, &QAction::triggered, this, [this] { mnuAbout_Click(); });
}

void frmMarlet::BuildTemplatePage(int n) {
  const Twips tw(this);
  QGroupBox* frame = fraComment[n];
  AddLabel(frame, Indexed("lblComment", n), QStringLiteral("コメント"),
           tw.Rect(120, 240, 2000, 240));
  txtComment[n] =
      MakeMultiLineBox(frame, Indexed("txtComment", n), tw.Rect(120, 480, kPageInnerWidth, 1335));
  AddLabel(frame, Indexed("lblPreview", n), QStringLiteral("プレビュー"),
           tw.Rect(120, 1920, 2000, 240));
  QPlainTextEdit* preview =
      MakeMultiLineBox(frame, Indexed("txtPreview", n), tw.Rect(120, 2160, kPageInnerWidth, 1215));
  preview->setReadOnly(true);
  QPalette palette = preview->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Button));
  preview->setPalette(palette);
  txtPreview[n] = preview;
  connect(txtComment[n], &QPlainTextEdit::textChanged, this, [this, n] { txtComment_Change(n); });
}

void frmMarlet::BuildParameterPage() {
  const Twips tw(this);
  QGroupBox* frame = fraComment[18];
  for (int i = 0; i < 6; ++i) {
    const int top = 360 + i * 480;
    AddLabel(frame, Indexed("lblRef", i), ToQString(kRefLabels[i]),
             tw.Rect(240, top + 30, 3840, 255));
    auto* box = new QLineEdit(frame);
    box->setObjectName(Indexed("txtRef", i));
    box->setGeometry(tw.Rect(4200, top, 3495, 315));
    connect(box, &QLineEdit::textChanged, this, [this, i] { txtRef_Change(i); });
    txtRef[i] = box;
  }
}

void frmMarlet::BuildUserMacroPage() {
  const Twips tw(this);
  QGroupBox* frame = fraComment[19];
  chkParamMacroRemove =
      new QCheckBox(QStringLiteral("引数がない場合は引数行でマクロを表示しない"), frame);
  chkParamMacroRemove->setObjectName(QStringLiteral("chkParamMacroRemove"));
  chkParamMacroRemove->setGeometry(tw.Rect(120, 300, 7000, 285));
  connect(chkParamMacroRemove, &QCheckBox::stateChanged, this, [this] { MarkChanged(); });

  msgUserDefine = new QTableWidget(0, 2, frame);
  msgUserDefine->setObjectName(QStringLiteral("msgUserDefine"));
  msgUserDefine->setGeometry(tw.Rect(120, 720, 4335, 2655));
  msgUserDefine->setHorizontalHeaderLabels(
      {QStringLiteral("マクロ"), QStringLiteral("置換文字列")});
  msgUserDefine->verticalHeader()->hide();
  msgUserDefine->verticalHeader()->setMinimumSectionSize(tw(240));
  msgUserDefine->verticalHeader()->setDefaultSectionSize(tw(270));
  msgUserDefine->horizontalHeader()->setHighlightSections(false);
  msgUserDefine->horizontalHeader()->setSectionsClickable(false);
  msgUserDefine->setEditTriggers(QAbstractItemView::NoEditTriggers);
  msgUserDefine->setSelectionBehavior(QAbstractItemView::SelectRows);
  msgUserDefine->setSelectionMode(QAbstractItemView::SingleSelection);
  msgUserDefine->setWordWrap(false);
  connect(msgUserDefine, &QTableWidget::cellClicked, this, [this] { msgUserDefine_Click(); });

  AddLabel(frame, QStringLiteral("lblUserDefine_0"), QStringLiteral("マクロ"),
           tw.Rect(4560, 720, 3000, 240));
  AddLabel(frame, QStringLiteral("lblUserDefine_1"), QStringLiteral("置換文字列"),
           tw.Rect(4560, 1380, 3000, 240));
  for (int i = 0; i < 2; ++i) {
    auto* box = new QLineEdit(frame);
    box->setObjectName(Indexed("txtUserDefine", i));
    box->setGeometry(tw.Rect(4560, 960 + i * 660, 3255, 315));
    txtUserDefine[i] = box;
  }
  txtUserDefine[0]->installEventFilter(this);

  const char16_t* const captions[5] = {u"追加", u"修正", u"削除", u"↑", u"↓"};
  const QRect places[5] = {tw.Rect(4560, 2160, 1035, 375), tw.Rect(5670, 2160, 1035, 375),
                           tw.Rect(6780, 2160, 1035, 375), tw.Rect(4560, 2760, 615, 375),
                           tw.Rect(5280, 2760, 615, 375)};
  for (int i = 0; i < 5; ++i) {
    auto* button = new QPushButton(ToQString(captions[i]), frame);
    button->setObjectName(Indexed("cmdUserDefine", i));
    button->setGeometry(places[i]);
    button->setAutoDefault(false);
    button->installEventFilter(this);
    connect(button, &QPushButton::clicked, this, [this, i] { cmdUserDefine_Click(i); });
    cmdUserDefine[i] = button;
  }
}

void frmMarlet::BuildBehaviourPage() {
  const Twips tw(this);
  QGroupBox* frame = fraComment[20];
  AddLabel(frame, QStringLiteral("lblCommentPattern"),
           QStringLiteral("プロシージャコメントの挿入位置"), tw.Rect(240, 420, 5000, 255));
  cboCommentPattern = new QComboBox(frame);
  cboCommentPattern->setObjectName(QStringLiteral("cboCommentPattern"));
  cboCommentPattern->setGeometry(tw.Rect(240, 720, 3255, 315));
  cboCommentPattern->addItems(
      {QStringLiteral("プロシージャ定義の上"), QStringLiteral("プロシージャ定義の下")});
  cboCommentPattern->setCurrentIndex(-1);
  connect(cboCommentPattern, &QComboBox::currentIndexChanged, this, [this] { MarkChanged(); });
  WatchKeys(cboCommentPattern);

  AddLabel(frame, QStringLiteral("lblToolbars"),
           QStringLiteral("ツールバー登録場所(次回起動時反映)"), tw.Rect(240, 1260, 5000, 255));
  cboToolbars = new QComboBox(frame);
  cboToolbars->setObjectName(QStringLiteral("cboToolbars"));
  cboToolbars->setGeometry(tw.Rect(240, 1560, 3255, 315));
  connect(cboToolbars, &QComboBox::currentIndexChanged, this, [this] { MarkChanged(); });
  WatchKeys(cboToolbars);
}

void frmMarlet::BuildLineCommentPage(int n) {
  const Twips tw(this);
  QGroupBox* frame = fraComment[n];
  const int first = LineCommentSlot(n - kFirstLineCommentPage + 1, LineCommentRole::kBefore);
  const char16_t* const captions[3] = {u"前コメント", u"行コメント", u"後コメント"};
  const int label_tops[3] = {300, 1500, 2160};
  for (int k = 0; k < 3; ++k) {
    AddLabel(frame, Indexed("lblLineComment", first + k), ToQString(captions[k]),
             tw.Rect(120, label_tops[k], 2000, 240));
  }
  auto* before = MakeMultiLineBox(frame, Indexed("txtLineComment", first),
                                  tw.Rect(120, 540, kPageInnerWidth, 855));
  auto* each = new QLineEdit(frame);
  each->setObjectName(Indexed("txtLineComment", first + 1));
  each->setGeometry(tw.Rect(120, 1740, kPageInnerWidth, 315));
  each->setFont(MonospaceFont());
  auto* after = MakeMultiLineBox(frame, Indexed("txtLineComment", first + 2),
                                 tw.Rect(120, 2400, kPageInnerWidth, 855));
  connect(before, &QPlainTextEdit::textChanged, this, [this] { MarkChanged(); });
  connect(each, &QLineEdit::textChanged, this, [this] { MarkChanged(); });
  connect(after, &QPlainTextEdit::textChanged, this, [this] { MarkChanged(); });
  txtLineComment[first] = before;
  txtLineComment[first + 1] = each;
  txtLineComment[first + 2] = after;
}

void frmMarlet::BuildClickPage() {
  const Twips tw(this);
  QGroupBox* frame = fraComment[24];
  for (int j = 0; j < 4; ++j) {
    const int top = 480 + j * 540;
    AddLabel(frame, Indexed("lblClick", j), ToQString(kClickLabels[j]),
             tw.Rect(240, top + 30, 2640, 255));
    auto* combo = new QComboBox(frame);
    combo->setObjectName(Indexed("cboLineComment", j));
    combo->setGeometry(tw.Rect(2880, top, 2055, 315));
    combo->addItems({QStringLiteral("なにもしない"), QStringLiteral("パターン1"),
                     QStringLiteral("パターン2"), QStringLiteral("パターン3")});
    combo->setCurrentIndex(-1);
    connect(combo, &QComboBox::currentIndexChanged, this, [this] { MarkChanged(); });
    WatchKeys(combo);
    cboLineComment[j] = combo;

    auto* check = new QCheckBox(QStringLiteral("コメントアウトする"), frame);
    check->setObjectName(Indexed("chkLineComment", j));
    check->setGeometry(tw.Rect(5160, top + 15, 2400, 285));
    connect(check, &QCheckBox::stateChanged, this, [this] { MarkChanged(); });
    WatchKeys(check);
    chkLineComment[j] = check;
  }
}

void frmMarlet::BuildLegend(QWidget* client) {
  const Twips tw(this);
  auto line = [&](int index, int top) {
    auto* rule = new QFrame(client);
    rule->setObjectName(Indexed("linHead", index));
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setGeometry(tw.Rect(kPageLeft, top, kPageWidth, 30));
  };
  line(0, 3690);
  AddLabel(client, QStringLiteral("lblMacroHead"), QStringLiteral("マクロ一覧"),
           tw.Rect(kPageLeft + 120, 3735, 2000, 225));
  line(1, 3975);
  const int lefts[3] = {kPageLeft + 120, kPageLeft + 2340, kPageLeft + 5280};
  const int widths[3] = {2220, 2940, 2655};
  int index = 0;
  for (int column = 0; column < 3; ++column) {
    for (int row = 0; row < 6; ++row) {
      if (kLegend[column][row] == nullptr) continue;
      AddLabel(client, Indexed("lblMacro", index++), ToQString(kLegend[column][row]),
               tw.Rect(lefts[column], 4035 + row * 200, widths[column], 200));
    }
  }
}

// ---------------------------------------------------------------------------
// Opening, page switch, closing.

void frmMarlet::showEvent(QShowEvent* event) {
  if (!loaded_) Form_Load();
  QDialog::showEvent(event);
}

void frmMarlet::Form_Load() {
  loaded_ = true;
  UpdateCaption();
  setWindowIcon(AddinIcon());

  const Twips tw(this);
  tvwMenu->clear();
  QTreeWidgetItem* first_page = nullptr;
  for (const GroupNode& group : PageTree()) {
    auto* group_item = new QTreeWidgetItem(tvwMenu, {ToQString(group.text)});
    group_item->setData(0, kKeyRole, ToQString(group.key));
    for (const PageNode& page : group.pages) {
      auto* page_item = new QTreeWidgetItem(group_item, {ToQString(page.text)});
      page_item->setData(0, kKeyRole, ToQString(page.key));
      if (page.key == u"K00") first_page = page_item;
    }
    group_item->setExpanded(true);
  }
  tvwMenu->setCurrentItem(first_page);

  for (int n = 0; n < kPageCount; ++n) fraComment[n]->setTitle(ToQString(PageText(n)));

  msgUserDefine->setColumnWidth(0, tw(1000));
  msgUserDefine->setColumnWidth(1, tw(2900));

  cboToolbars->clear();
  for (const std::u16string& name : vntToolbarNames) {
    if (!name.empty()) cboToolbars->addItem(ToQString(name));
  }
  // A list starts without a selection; SetControls chooses.
  cboToolbars->setCurrentIndex(-1);

  SetControls();
  blnChanged = false;
}

int frmMarlet::VisiblePage() const {
  for (int n = 0; n < kPageCount; ++n) {
    if (!fraComment[n]->isHidden()) return n;
  }
  return -1;
}

void frmMarlet::ShowPage(int n) {
  for (QGroupBox* frame : fraComment) {
    frame->setEnabled(false);
    frame->hide();
  }
  fraComment[n]->setEnabled(true);
  fraComment[n]->show();
}

void frmMarlet::tvwMenu_NodeClick(QTreeWidgetItem* node) {
  if (node == nullptr) return;
  const std::u16string key = ToU16(node->data(0, kKeyRole).toString());
  // Group keys are no page keys: the page shown before stays.
  if (std::optional<int> page = PageIndexFromKey(key)) ShowPage(*page);
}

void frmMarlet::cmdOK_Click() {
  if (!blnChanged) {
    accept();
    return;
  }
  // A cancelled or failed save keeps the window open with its edits.
  if (mnuSave_Click() == SaveOutcome::kSaved) accept();
}

void frmMarlet::cmdCancel_Click() { reject(); }

void frmMarlet::mnuExit_Click() { reject(); }

void frmMarlet::UpdateCaption() { setWindowTitle(ToQString(DialogCaption(settings_.strIniName))); }

void frmMarlet::Warn(std::u16string_view text) { messages_->Warn(ToU16(windowTitle()), text); }

bool frmMarlet::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (auto* button = qobject_cast<QPushButton*>(watched)) {
      // Enter presses the button that has the focus. No button is the
      // default one, so Enter in a one-line box does not press OK.
      if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
      button->click();
      return true;
    }
    if (watched == txtUserDefine[0]) {
      const QString typed = static_cast<QKeyEvent*>(event)->text();
      if (typed.size() == 1 && IsRefusedInMacroWord(typed.at(0).unicode())) return true;
    } else if (qobject_cast<QCheckBox*>(watched) != nullptr) {
      // A check box counts only keys that type a character: Shift, Ctrl or
      // the arrows on the way through it change nothing.
      if (TypesCharacter(*static_cast<QKeyEvent*>(event))) MarkChanged();
    } else {
      // Any key pressed on a list counts as an edit, except the Tab that
      // only moves the focus on.
      if (key != Qt::Key_Tab && key != Qt::Key_Backtab) MarkChanged();
    }
  }
  return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Record and controls.

void frmMarlet::SetControls() {
  filling_ = true;
  vntUserDefineEdit.clear();
  lngUserDefineEditLast = -1;

  const std::u16string* refs[6] = {&settings_.strByValText,           &settings_.strByRefText,
                                   &settings_.strNoParamText,         &settings_.strOptionalText,
                                   &settings_.strOptionalDefaultText, &settings_.strDateFormat};
  for (int i = 0; i < 6; ++i) txtRef[i]->setText(ToQString(*refs[i]));

  // A record whose last index runs past its table shows the macros it has.
  const int rows =
      static_cast<int>(std::clamp<int64_t>(int64_t{settings_.lngUserDefineLast} + 1, 0,
                                           static_cast<int64_t>(settings_.vntUserDefine.size())));
  msgUserDefine->clearContents();
  msgUserDefine->setRowCount(rows);
  for (int t = 0; t < rows; ++t) {
    const UserMacro& macro = settings_.vntUserDefine[t];
    SetGridText(t + 1, 0, macro.word);
    SetGridText(t + 1, 1, macro.replacement);
    vntUserDefineEdit.push_back(macro);
  }
  lngUserDefineEditLast = static_cast<int32_t>(vntUserDefineEdit.size()) - 1;

  chkParamMacroRemove->setChecked(settings_.blnParamMacroRemove);

  for (int n = 0; n < kTemplatePageCount; ++n) {
    txtComment[n]->setPlainText(ToQString(ToBoxText(settings_.strTemplate[n])));
    template_text_[n] = RecordText(txtComment[n]);
    RefreshPreview(n);
  }

  if (settings_.intCommentPattern >= -1 &&
      settings_.intCommentPattern < cboCommentPattern->count()) {
    cboCommentPattern->setCurrentIndex(settings_.intCommentPattern);
  }

  if (cboToolbars->count() > 0) {
    const int found = cboToolbars->findText(ToQString(settings_.strToolbarName),
                                            Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found >= 0) {
      cboToolbars->setCurrentIndex(found);
    } else if (cboToolbars->currentIndex() < 0) {
      cboToolbars->setCurrentIndex(0);
    }
  }

  for (int k = 0; k < kLineCommentCount; ++k) {
    SetRecordText(txtLineComment[k], settings_.strLineComment[k]);
  }

  for (int j = 0; j < 4; ++j) {
    const int pattern = settings_.intLinePattern[j];
    if (pattern >= -1 && pattern <= 3) cboLineComment[j]->setCurrentIndex(pattern);
    chkLineComment[j]->setChecked(settings_.intLineCommentOut[j] == 1);
  }
  filling_ = false;
}

void frmMarlet::GetControls() {
  std::u16string* refs[6] = {&settings_.strByValText,           &settings_.strByRefText,
                             &settings_.strNoParamText,         &settings_.strOptionalText,
                             &settings_.strOptionalDefaultText, &settings_.strDateFormat};
  for (int i = 0; i < 6; ++i) *refs[i] = ToU16(txtRef[i]->text());

  settings_.intCommentPattern = static_cast<int16_t>(cboCommentPattern->currentIndex());

  for (int n = 0; n < kTemplatePageCount; ++n) settings_.strTemplate[n] = RecordText(txtComment[n]);

  settings_.vntUserDefine.clear();
  settings_.lngUserDefineLast = -1;
  if (GridRows() > 1) {
    settings_.lngUserDefineLast = GridRows() - 2;
    for (int r = 1; r < GridRows(); ++r) {
      settings_.vntUserDefine.push_back({GridText(r, 0), GridText(r, 1)});
    }
  }

  settings_.blnParamMacroRemove = chkParamMacroRemove->isChecked();

  if (cboToolbars->currentIndex() >= 0)
    settings_.strToolbarName = ToU16(cboToolbars->currentText());

  for (int k = 0; k < kLineCommentCount; ++k) {
    settings_.strLineComment[k] = RecordText(txtLineComment[k]);
  }

  for (int j = 0; j < 4; ++j) {
    settings_.intLinePattern[j] = static_cast<int16_t>(cboLineComment[j]->currentIndex());
    settings_.intLineCommentOut[j] = chkLineComment[j]->isChecked() ? 1 : 0;
  }
}

// ---------------------------------------------------------------------------
// Preview.

void frmMarlet::txtComment_Change(int index) {
  template_text_[index] = RecordText(txtComment[index]);
  if (!filling_) RefreshPreview(index);
  blnChanged = true;
}

void frmMarlet::txtRef_Change(int) {
  blnChanged = true;
  if (filling_) return;
  for (int n = 0; n < kTemplatePageCount; ++n) RefreshPreview(n);
}

void frmMarlet::RefreshPreview(int n) {
  const PreviewTexts texts{ToU16(txtRef[0]->text()), ToU16(txtRef[1]->text()),
                           ToU16(txtRef[3]->text()), ToU16(txtRef[4]->text()),
                           ToU16(txtRef[5]->text())};
  const SampleProcedure sample = SetSampleProc(n, texts, clock_->Now());
  const std::u16string expanded =
      expander_(settings_, template_text_[n], sample.vntSampleProc, sample.vntSampleParams,
                lngUserDefineEditLast, vntUserDefineEdit);
  QString shown = ToQString(ToBoxText(expanded));
  // Every keystroke in a replacement box rewrites eighteen previews: an
  // unchanged one is left alone, and a changed one gets its text through the
  // document, which skips the edit box's cursor and scroll bookkeeping
  // (several times the cost of the text itself).
  if (shown != preview_text_[n]) {
    txtPreview[n]->document()->setPlainText(shown);
    preview_text_[n] = std::move(shown);
  }
  blnChanged = true;
}

// ---------------------------------------------------------------------------
// Settings files.

void frmMarlet::mnuLoad_Click() {
  const FileDialogRequest request = LoadRequest(files_.GetIniDir(), settings_.strIniName);
  const std::optional<std::u16string> chosen = chooser_->ChooseFile(request);
  if (!chosen) return;
  // Loading on after a failed SetIniDir would load the old file as if it
  // were the chosen one.
  if (Status recorded = files_.SetIniDir(*chosen); !recorded.ok()) {
    Warn(WithReason(kLoadFailedMessage, recorded));
    return;
  }
  const Status loaded = files_.Load(settings_);
  blnChanged = false;
  // Even a load that stopped half-way has changed the record: show it.
  SetControls();
  blnChanged = false;
  UpdateCaption();
  if (!loaded.ok()) Warn(WithReason(kLoadFailedMessage, loaded));
}

frmMarlet::SaveOutcome frmMarlet::mnuSave_Click() {
  const FileDialogRequest request = SaveRequest(files_.GetIniDir(), settings_.strIniName);
  const std::optional<std::u16string> chosen = chooser_->ChooseFile(request);
  if (!chosen) return SaveOutcome::kCancelled;
  // Saving on after a failed SetIniDir would overwrite the old file.
  if (Status recorded = files_.SetIniDir(*chosen); !recorded.ok()) {
    Warn(WithReason(kSaveFailedMessage, recorded));
    return SaveOutcome::kFailed;
  }
  GetControls();
  const Status saved = files_.Save(settings_);
  if (!saved.ok()) {
    UpdateCaption();
    Warn(WithReason(kSaveFailedMessage, saved));
    return SaveOutcome::kFailed;
  }
  blnChanged = false;
  UpdateCaption();
  return SaveOutcome::kSaved;
}

// ---------------------------------------------------------------------------
// Help.

void frmMarlet::mnuHelpContents_Click() {
  const std::optional<std::u16string> folder = HelpFolder(registry_);
  if (!folder) return;
  WaitCursor hourglass;
  desktop_->OpenDocument(HelpDocumentPath(*folder));
}

void frmMarlet::mnuAbout_Click() {
  frmAbout about(*desktop_, this);
  about.exec();
}

// ---------------------------------------------------------------------------
// User macro table.

int frmMarlet::GridRows() const { return msgUserDefine->rowCount() + 1; }

int frmMarlet::GridCurrentRow() const {
  const int row = msgUserDefine->currentRow();
  return row < 0 ? 0 : row + 1;
}

void frmMarlet::SetGridCurrentRow(int row) {
  msgUserDefine->setCurrentCell(row - 1, 0);
  msgUserDefine->selectRow(row - 1);
}

std::u16string frmMarlet::GridText(int row, int column) const {
  const QTableWidgetItem* item = msgUserDefine->item(row - 1, column);
  return item == nullptr ? std::u16string() : ToU16(item->text());
}

void frmMarlet::SetGridText(int row, int column, const std::u16string& text) {
  QTableWidgetItem* item = msgUserDefine->item(row - 1, column);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    msgUserDefine->setItem(row - 1, column, item);
  }
  item->setText(ToQString(text));
}

void frmMarlet::cmdUserDefine_Click(int index) {
  switch (index) {
    case 0:
      AddMacro();
      break;
    case 1:
      ChangeMacro();
      break;
    case 2:
      DeleteMacro();
      break;
    case 3:
      MoveMacro(-1);
      break;
    case 4:
      MoveMacro(+1);
      break;
    default:
      break;
  }
}

bool frmMarlet::CheckMacroEntries() {
  if (txtUserDefine[0]->text().isEmpty()) {
    Warn(kNoMacroMessage);
    txtUserDefine[0]->setFocus();
    return false;
  }
  if (txtUserDefine[1]->text().isEmpty()) {
    Warn(kNoReplacementMessage);
    txtUserDefine[1]->setFocus();
    return false;
  }
  if (HasRefusedMacroCharacter(ToU16(txtUserDefine[0]->text()))) {
    Warn(kRefusedWordMessage);
    txtUserDefine[0]->setFocus();
    return false;
  }
  return true;
}

void frmMarlet::AddMacro() {
  if (!CheckMacroEntries()) return;
  const std::u16string word = ToU16(txtUserDefine[0]->text());
  for (int r = 1; r < GridRows(); ++r) {
    if (GridText(r, 0) == word) {
      Warn(kMacroExistsMessage);
      SetGridCurrentRow(r);
      return;
    }
  }
  const int row = GridRows();
  msgUserDefine->setRowCount(row);
  SetGridText(row, 0, word);
  SetGridText(row, 1, ToU16(txtUserDefine[1]->text()));
  SetGridCurrentRow(row);
  MarkChanged();
  FinishMacroEdit();
}

void frmMarlet::ChangeMacro() {
  if (!CheckMacroEntries()) return;
  const std::u16string word = ToU16(txtUserDefine[0]->text());
  int found = 0;
  for (int r = 1; r < GridRows() && found == 0; ++r) {
    if (GridText(r, 0) == word) found = r;
  }
  if (found == 0) {
    Warn(kNoSuchMacroMessage);
    return;
  }
  SetGridCurrentRow(found);
  SetGridText(found, 0, word);
  SetGridText(found, 1, ToU16(txtUserDefine[1]->text()));
  SetGridCurrentRow(found);
  MarkChanged();
  FinishMacroEdit();
}

void frmMarlet::DeleteMacro() {
  const int row = GridCurrentRow();
  if (row != 0) {
    if (GridRows() == 2) {
      msgUserDefine->setRowCount(0);
    } else {
      msgUserDefine->removeRow(row - 1);
    }
    MarkChanged();
  }
  FinishMacroEdit();
}

void frmMarlet::MoveMacro(int direction) {
  const int row = GridCurrentRow();
  const int other = row + direction;
  const bool can_move = direction < 0 ? row >= 2 : (row != 0 && row != GridRows() - 1);
  if (can_move) {
    for (int column = 0; column < 2; ++column) {
      const std::u16string here = GridText(row, column);
      SetGridText(row, column, GridText(other, column));
      SetGridText(other, column, here);
    }
    SetGridCurrentRow(other);
    MarkChanged();
  }
  FinishMacroEdit();
}

void frmMarlet::FinishMacroEdit() {
  vntUserDefineEdit.clear();
  lngUserDefineEditLast = -1;
  if (GridRows() > 1) {
    lngUserDefineEditLast = GridRows() - 2;
    for (int r = 1; r < GridRows(); ++r)
      vntUserDefineEdit.push_back({GridText(r, 0), GridText(r, 1)});
  }
  for (int n = 0; n < kTemplatePageCount; ++n) txtComment_Change(n);
}

void frmMarlet::msgUserDefine_Click() {
  const int row = GridCurrentRow();
  if (GridRows() < 2 || row < 1) return;
  txtUserDefine[0]->setText(ToQString(GridText(row, 0)));
  txtUserDefine[1]->setText(ToQString(GridText(row, 1)));
}

}  // namespace tolvan::dialog
