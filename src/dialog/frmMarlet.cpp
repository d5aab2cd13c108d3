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

// A box's text as the form keeps it: CR LF between lines.
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

void AddChoices(QComboBox* combo, const auto& choices) {
  for (std::u16string_view choice : choices) combo->addItem(ToQString(choice));
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

// A key that puts a character into a text box. Tab, Return and the other
// control characters move the focus or press a button instead.
bool TypesCharacter(const QKeyEvent& event) {
  const QString text = event.text();
  if (text.isEmpty()) return false;
  return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isPrint(); });
}

}  // namespace

frmMarlet::frmMarlet(SettingsRecord& settings, const Services& services, QWidget* parent)
    : QDialog(parent), desktop_(services.desktop) {
  FileChooser* chooser = services.file_chooser;
  if (chooser == nullptr) {
    own_chooser_ = std::make_unique<QtFileChooser>(this);
    chooser = own_chooser_.get();
  }
  MessageBoxes* messages = services.messages;
  if (messages == nullptr) {
    own_messages_ = std::make_unique<QtMessageBoxes>(this);
    messages = own_messages_.get();
  }
  if (desktop_ == nullptr) {
    own_desktop_ = std::make_unique<QtDesktopLauncher>();
    desktop_ = own_desktop_.get();
  }
  const Clock* clock = services.clock;
  if (clock == nullptr) {
    own_clock_ = std::make_unique<SystemClock>();
    clock = own_clock_.get();
  }
  form_ = std::make_unique<MarletForm>(
      settings, MarletForm::Services{services.files, services.registry, *chooser, *messages,
                                     *desktop_, *clock});
  LoadQtTranslations();
  setObjectName(QStringLiteral("frmMarlet"));
  BuildWindow();
}

frmMarlet::~frmMarlet() = default;

void frmMarlet::SetToolbars(const std::vector<std::u16string>& toolbars) {
  form_->SetToolbars(toolbars);
}

template <class Edit>
void frmMarlet::Forward(Edit edit) {
  if (syncing_) return;
  edit();
  Sync();
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
          [this](QTreeWidgetItem* node, QTreeWidgetItem*) { OnNodeChanged(node); });

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
  connect(cmdOK, &QPushButton::clicked, this, [this] { OnOK(); });
  cmdCancel = new QPushButton(QStringLiteral("キャンセル"), client);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  cmdCancel->setGeometry(tw.Rect(9000, 5280, 1215, 375));
  cmdCancel->setAutoDefault(false);
  cmdCancel->installEventFilter(this);
  connect(cmdCancel, &QPushButton::clicked, this, [this] { reject(); });
}

void frmMarlet::BuildMenus(QMenuBar* bar) {
  QMenu* file = bar->addMenu(QStringLiteral("ファイル(&F)"));
  file->setObjectName(QStringLiteral("mnuFile"));
  QAction* load = file->addAction(QStringLiteral("設定の読込み(&L)..."));
  load->setObjectName(QStringLiteral("mnuLoad"));
  connect(load, &QAction::triggered, this, [this] { Forward([this] { form_->mnuLoad_Click(); }); });
  QAction* save = file->addAction(QStringLiteral("設定の保存(&S)..."));
  save->setObjectName(QStringLiteral("mnuSave"));
  connect(save, &QAction::triggered, this, [this] { Forward([this] { form_->mnuSave_Click(); }); });
  QAction* exit = file->addAction(QStringLiteral("設定画面の終了(&X)"));
  exit->setObjectName(QStringLiteral("mnuExit"));
  connect(exit, &QAction::triggered, this, [this] { reject(); });

  QMenu* help = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
  help->setObjectName(QStringLiteral("mnuHelp"));
  QAction* contents = help->addAction(QStringLiteral("目次(&C)..."));
  contents->setObjectName(QStringLiteral("mnuHelpContents"));
  connect(contents, &QAction::triggered, this, [this] { OnHelpContents(); });
  QAction* about = help->addAction(QStringLiteral("バージョン情報(&A)..."));
  about->setObjectName(QStringLiteral("mnuAbout"));
  connect(about, &QAction::triggered, this, [this] { OnAbout(); });
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
  connect(txtComment[n], &QPlainTextEdit::textChanged, this, [this, n] {
    Forward([this, n] {
      shown_.txtComment[n] = RecordText(txtComment[n]);
      form_->txtComment_Change(n, shown_.txtComment[n]);
    });
  });
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
    connect(box, &QLineEdit::textChanged, this, [this, i](const QString& text) {
      Forward([this, i, &text] {
        shown_.txtRef[i] = ToU16(text);
        form_->txtRef_Change(i, shown_.txtRef[i]);
      });
    });
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
  connect(chkParamMacroRemove, &QCheckBox::stateChanged, this, [this] {
    Forward([this] {
      shown_.chkParamMacroRemove = chkParamMacroRemove->isChecked();
      form_->chkParamMacroRemove_Click(shown_.chkParamMacroRemove);
    });
  });

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
  // The current row moves by a click or a key; a click also fills the boxes.
  connect(msgUserDefine, &QTableWidget::currentCellChanged, this, [this](int row) {
    Forward([this, row] {
      shown_.grid_row = row + 1;
      form_->msgUserDefine_RowChange(shown_.grid_row);
    });
  });
  connect(msgUserDefine, &QTableWidget::cellClicked, this,
          [this] { Forward([this] { form_->msgUserDefine_Click(); }); });

  AddLabel(frame, QStringLiteral("lblUserDefine_0"), QStringLiteral("マクロ"),
           tw.Rect(4560, 720, 3000, 240));
  AddLabel(frame, QStringLiteral("lblUserDefine_1"), QStringLiteral("置換文字列"),
           tw.Rect(4560, 1380, 3000, 240));
  for (int i = 0; i < 2; ++i) {
    auto* box = new QLineEdit(frame);
    box->setObjectName(Indexed("txtUserDefine", i));
    box->setGeometry(tw.Rect(4560, 960 + i * 660, 3255, 315));
    connect(box, &QLineEdit::textChanged, this, [this, i](const QString& text) {
      Forward([this, i, &text] {
        shown_.txtUserDefine[i] = ToU16(text);
        form_->txtUserDefine_Change(i, shown_.txtUserDefine[i]);
      });
    });
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
    connect(button, &QPushButton::clicked, this,
            [this, i] { Forward([this, i] { form_->cmdUserDefine_Click(i); }); });
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
  AddChoices(cboCommentPattern, kCommentPatternChoices);
  cboCommentPattern->setCurrentIndex(-1);
  connect(cboCommentPattern, &QComboBox::currentIndexChanged, this, [this](int choice) {
    Forward([this, choice] {
      shown_.cboCommentPattern = choice;
      form_->cboCommentPattern_Click(choice);
    });
  });
  WatchKeys(cboCommentPattern);

  AddLabel(frame, QStringLiteral("lblToolbars"),
           QStringLiteral("ツールバー登録場所(次回起動時反映)"), tw.Rect(240, 1260, 5000, 255));
  cboToolbars = new QComboBox(frame);
  cboToolbars->setObjectName(QStringLiteral("cboToolbars"));
  cboToolbars->setGeometry(tw.Rect(240, 1560, 3255, 315));
  connect(cboToolbars, &QComboBox::currentIndexChanged, this, [this](int choice) {
    Forward([this, choice] {
      shown_.cboToolbars = choice;
      form_->cboToolbars_Click(choice);
    });
  });
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
  txtLineComment[first] = before;
  txtLineComment[first + 1] = each;
  txtLineComment[first + 2] = after;
  for (int slot = first; slot < first + 3; ++slot) {
    auto edited = [this, slot] {
      Forward([this, slot] {
        shown_.txtLineComment[slot] = RecordText(txtLineComment[slot]);
        form_->txtLineComment_Change(slot, shown_.txtLineComment[slot]);
      });
    };
    if (auto* plain = qobject_cast<QPlainTextEdit*>(txtLineComment[slot])) {
      connect(plain, &QPlainTextEdit::textChanged, this, edited);
    } else {
      connect(each, &QLineEdit::textChanged, this, edited);
    }
  }
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
    AddChoices(combo, kLinePatternChoices);
    combo->setCurrentIndex(-1);
    connect(combo, &QComboBox::currentIndexChanged, this, [this, j](int choice) {
      Forward([this, j, choice] {
        shown_.cboLineComment[j] = choice;
        form_->cboLineComment_Click(j, choice);
      });
    });
    WatchKeys(combo);
    cboLineComment[j] = combo;

    auto* check = new QCheckBox(QStringLiteral("コメントアウトする"), frame);
    check->setObjectName(Indexed("chkLineComment", j));
    check->setGeometry(tw.Rect(5160, top + 15, 2400, 285));
    connect(check, &QCheckBox::stateChanged, this, [this, j, check] {
      Forward([this, j, check] {
        shown_.chkLineComment[j] = check->isChecked();
        form_->chkLineComment_Click(j, shown_.chkLineComment[j]);
      });
    });
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
  setWindowIcon(AddinIcon());

  const Twips tw(this);
  syncing_ = true;
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
  syncing_ = false;

  form_->Form_Load();
  Sync();
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
  if (n < 0 || n >= kPageCount) return;
  fraComment[n]->setEnabled(true);
  fraComment[n]->show();
}

void frmMarlet::OnNodeChanged(QTreeWidgetItem* node) {
  if (node == nullptr) return;
  Forward([this, node] { form_->tvwMenu_NodeClick(ToU16(node->data(0, kKeyRole).toString())); });
}

void frmMarlet::OnOK() {
  const bool close = form_->cmdOK_Click();
  // A save renames the caption, even as the window closes.
  Sync();
  if (close) accept();
}

void frmMarlet::OnHelpContents() {
  WaitCursor hourglass;
  form_->mnuHelpContents_Click();
}

void frmMarlet::OnAbout() {
  frmAbout about(*desktop_, this);
  about.exec();
}

bool frmMarlet::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto& press = *static_cast<QKeyEvent*>(event);
    const int key = press.key();
    if (auto* button = qobject_cast<QPushButton*>(watched)) {
      // Enter presses the button that has the focus. No button is the
      // default one, so Enter in a one-line box does not press OK.
      if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
      button->click();
      return true;
    }
    if (watched == txtUserDefine[0]) {
      const QString typed = press.text();
      if (typed.size() == 1 && !MarletForm::txtUserDefine_KeyPress(0, typed.at(0).unicode())) {
        return true;
      }
    } else if (qobject_cast<QCheckBox*>(watched) != nullptr) {
      // A check box counts only keys that type a character: Shift, Ctrl or
      // the arrows on the way through it change nothing.
      if (TypesCharacter(press)) form_->Choice_KeyDown();
    } else {
      // Any key pressed on a list counts as an edit, except the Tab that
      // only moves the focus on.
      if (key != Qt::Key_Tab && key != Qt::Key_Backtab) form_->Choice_KeyDown();
    }
  }
  return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// The form into the widgets.

void frmMarlet::ShowGrid(bool rebuilt) {
  const MarletControls& c = form_->controls();
  if (rebuilt) {
    msgUserDefine->clearContents();
    msgUserDefine->setRowCount(static_cast<int>(c.grid.size()));
    for (int r = 0; r < static_cast<int>(c.grid.size()); ++r) {
      const std::u16string* texts[2] = {&c.grid[r].word, &c.grid[r].replacement};
      for (int column = 0; column < 2; ++column) {
        auto* item = new QTableWidgetItem(ToQString(*texts[column]));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        msgUserDefine->setItem(r, column, item);
      }
    }
    shown_.grid = c.grid;
  }
  // The current row shows with both its cells selected; row 0 is none.
  if (c.grid_row >= 1) {
    msgUserDefine->setCurrentCell(c.grid_row - 1, 0);
    msgUserDefine->selectRow(c.grid_row - 1);
  } else {
    msgUserDefine->clearSelection();
    msgUserDefine->setCurrentCell(-1, -1);
  }
  shown_.grid_row = c.grid_row;
}

void frmMarlet::Sync() {
  const MarletControls& c = form_->controls();
  syncing_ = true;
  auto text = [](QWidget* box, std::u16string& shown, const std::u16string& wanted) {
    if (shown == wanted) return;
    SetRecordText(box, wanted);
    shown = wanted;
  };
  auto check = [](QCheckBox* box, bool& shown, bool wanted) {
    if (shown == wanted) return;
    box->setChecked(wanted);
    shown = wanted;
  };
  auto choose = [](QComboBox* combo, int& shown, int wanted) {
    if (shown == wanted) return;
    combo->setCurrentIndex(wanted);
    shown = wanted;
  };

  if (shown_.caption != c.caption) {
    setWindowTitle(ToQString(c.caption));
    shown_.caption = c.caption;
  }
  if (shown_.page != c.page) {
    ShowPage(c.page);
    shown_.page = c.page;
  }
  for (int n = 0; n < kTemplatePageCount; ++n) {
    text(txtComment[n], shown_.txtComment[n], c.txtComment[n]);
    // Every keystroke in a replacement box rewrites eighteen previews: an
    // unchanged one is left alone, and a changed one gets its text through
    // the document, which skips the edit box's cursor and scroll bookkeeping
    // (several times the cost of the text itself).
    if (shown_.txtPreview[n] != c.txtPreview[n]) {
      txtPreview[n]->document()->setPlainText(ToQString(ToBoxText(c.txtPreview[n])));
      shown_.txtPreview[n] = c.txtPreview[n];
    }
  }
  for (int i = 0; i < kRefCount; ++i) text(txtRef[i], shown_.txtRef[i], c.txtRef[i]);
  check(chkParamMacroRemove, shown_.chkParamMacroRemove, c.chkParamMacroRemove);
  if (shown_.grid != c.grid || shown_.grid_row != c.grid_row) ShowGrid(shown_.grid != c.grid);
  for (int i = 0; i < 2; ++i) text(txtUserDefine[i], shown_.txtUserDefine[i], c.txtUserDefine[i]);

  choose(cboCommentPattern, shown_.cboCommentPattern, c.cboCommentPattern);
  if (shown_.toolbar_choices != c.toolbar_choices) {
    cboToolbars->clear();
    AddChoices(cboToolbars, c.toolbar_choices);
    cboToolbars->setCurrentIndex(-1);
    shown_.toolbar_choices = c.toolbar_choices;
    shown_.cboToolbars = -1;
  }
  choose(cboToolbars, shown_.cboToolbars, c.cboToolbars);

  for (int slot = 0; slot < kLineCommentCount; ++slot) {
    text(txtLineComment[slot], shown_.txtLineComment[slot], c.txtLineComment[slot]);
  }
  for (int j = 0; j < kClickRowCount; ++j) {
    choose(cboLineComment[j], shown_.cboLineComment[j], c.cboLineComment[j]);
    check(chkLineComment[j], shown_.chkLineComment[j], c.chkLineComment[j]);
  }
  syncing_ = false;

  switch (form_->TakeFocusRequest()) {
    case MarletForm::Focus::kMacroWord:
      txtUserDefine[0]->setFocus();
      break;
    case MarletForm::Focus::kMacroReplacement:
      txtUserDefine[1]->setFocus();
      break;
    case MarletForm::Focus::kNone:
      break;
  }
}

}  // namespace tolvan::dialog
