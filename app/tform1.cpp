// The main window: layout, bindings, handlers and the crawl controller's front end.
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <climits>

#include "Unit1.h"
#include "app/binding.h"
#include "app/desktop.h"
#include "app/report_tab.h"
#include "app/text_edge.h"
#include "app/widgets.h"
#include "base/cp1251.h"
#include "base/files.h"
#include "crawl/monitor.h"
#include "selective/Unit2.h"
#include "settings/extensions_file.h"
#include "settings/option_table.h"
#include "settings/settings_file.h"
#include "settings/texts.h"

namespace korvane {

namespace {

constexpr int kClientWidth = 734;
constexpr int kClientHeight = 605;
constexpr int kWatchdogInterval = 10000;  // ms
constexpr int kPaintIntervalMs = 100;     // at most 10 repaints a second
// The window's outer heights: folded shows only the tabs, the counters and the monitor row;
// unfolded shows the monitor grid too.
constexpr int kFoldedHeight = 275;
constexpr int kUnfoldedHeight = 630;

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <class Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

template <class Widget>
Widget* Place(Widget* widget, const char* name, int x, int y, int width, int height) {
  widget->setGeometry(x, y, width, height);
  return Named(widget, name);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
  return Named(new QLabel(text, parent), name);
}

// An edit named by its label, for the keyboard (the label's mnemonic focus) and for
// assistive technology.
QLineEdit* MakeEdit(QWidget* parent, const char* name, QLabel* label, const QString& text) {
  auto* edit = Named(new QLineEdit(text, parent), name);
  label->setBuddy(edit);
  edit->setAccessibleName(label->text());
  return edit;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const QString& caption) {
  return Named(new QCheckBox(caption, parent), name);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
  return Named(new QPushButton(caption, parent), name);
}

QPlainTextEdit* MakeMemo(QWidget* parent, const char* name, QLabel* label) {
  auto* memo = Named(new QPlainTextEdit(parent), name);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setTabChangesFocus(true);
  label->setBuddy(memo);
  memo->setAccessibleName(label->text());
  return memo;
}

QWidget* AddPage(QTabWidget* tabs, const char* name, const QString& caption) {
  auto* page = Named(new QWidget, name);
  tabs->addTab(page, caption);
  return page;
}

// A grid with the tight spacing of a fixed-size control panel.
QGridLayout* TightGrid(QWidget* owner) {
  auto* grid = new QGridLayout(owner);
  grid->setContentsMargins(8, 4, 8, 4);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);
  return grid;
}

}  // namespace

TForm1::TForm1() : controller_(options_, *this) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Korvane [") + Utf8(texts::kProgramSite) + QStringLiteral("]"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  QFont small = font();
  small.setPointSize(8);
  setFont(small);
  setFixedSize(kClientWidth, kClientHeight);
  move(185, 86);
  PacePaints(this, kPaintIntervalMs);

  PageControl1 = Place(new QTabWidget(this), "PageControl1", 0, 0, 729, 177);
  // Nine tabs fit the window's fixed width only in a slightly smaller type.
  QFont tab_font = small;
  tab_font.setPointSize(7);
  PageControl1->tabBar()->setFont(tab_font);
  TabSheet1 = AddPage(PageControl1, "TabSheet1", tr("Настройки"));
  TabSheet2 = AddPage(PageControl1, "TabSheet2", tr("Black n White"));
  TabSheet3 = AddPage(PageControl1, "TabSheet3", tr("Фильтр результатов"));
  TabSheet4 = AddPage(PageControl1, "TabSheet4", tr("TextJoiner"));
  TabSheet5 = AddPage(PageControl1, "TabSheet5", tr("TextCleaner"));
  TabSheet6 = AddPage(PageControl1, "TabSheet6", tr("PathMaker"));
  TabSheet7 = AddPage(PageControl1, "TabSheet7", tr("Сеть"));
  TabSheet8 = AddPage(PageControl1, "TabSheet8", tr("Текст"));
  BuildSettingsPage();
  BuildListsPage();
  BuildToolPages();
  BuildExtensionPage(TabSheet7, ExtensionTab::kNetwork);
  BuildExtensionPage(TabSheet8, ExtensionTab::kText);
  BuildDuplicateRow();
  TabSheet9 = AddPage(PageControl1, "TabSheet9", tr("Отчёт"));
  ReportTab1 = new ReportTab(TabSheet9, controller_);
  BuildCounters();
  BuildMonitor();
  BindControls();
  ConnectHandlers();
  FormCreate();
  form2_ = std::make_unique<TForm2>(options_, *this);
}

TForm1::~TForm1() {
  form2_.reset();
  // The controls go while the options their bindings write still exist.
  qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void TForm1::BuildSettingsPage() {
  auto* row = new QHBoxLayout(TabSheet1);
  row->setContentsMargins(4, 2, 4, 4);
  GroupBox1 = Named(new QGroupBox(tr("Центр управления полетами"), TabSheet1), "GroupBox1");
  row->addWidget(GroupBox1);
  GroupBox1->setFixedWidth(244);
  QGridLayout* grid = TightGrid(GroupBox1);
  grid->setHorizontalSpacing(4);
  Label1 = MakeLabel(GroupBox1, "Label1", tr("сайт:"));
  Edit1 = MakeEdit(GroupBox1, "Edit1", Label1, QString());
  Label2 = MakeLabel(GroupBox1, "Label2", tr("потоки"));
  SpinEdit1 = Named(new QSpinBox(GroupBox1), "SpinEdit1");
  SpinEdit1->setRange(INT_MIN, INT_MAX);
  SpinEdit1->setValue(10);
  SpinEdit1->setMinimumWidth(52);
  Label2->setBuddy(SpinEdit1);
  SpinEdit1->setAccessibleName(Label2->text());
  Label4 = MakeLabel(GroupBox1, "Label4", tr("timeout, sec"));
  Edit2 = MakeEdit(GroupBox1, "Edit2", Label4, QStringLiteral("40"));
  Edit2->setMaximumWidth(30);
  Label4->setEnabled(false);
  Edit2->setEnabled(false);
  auto* buttons = new QHBoxLayout;
  Button1 = MakeButton(GroupBox1, "Button1", tr("START"));
  Button3 = MakeButton(GroupBox1, "Button3", tr("STOP"));
  Button8 = MakeButton(GroupBox1, "Button8", tr("HALT"));
  for (QPushButton* button : {Button1, Button3, Button8}) {
    button->setMinimumHeight(44);
    buttons->addWidget(button);
  }
  grid->addWidget(Label1, 0, 0);
  grid->addWidget(Edit1, 0, 1, 1, 4);
  grid->addWidget(Label2, 1, 0);
  grid->addWidget(SpinEdit1, 1, 1);
  grid->addWidget(Label4, 1, 3, Qt::AlignRight);
  grid->addWidget(Edit2, 1, 4);
  grid->setColumnStretch(2, 1);
  grid->addLayout(buttons, 2, 0, 1, 5);

  GroupBox2 = Named(new QGroupBox(tr("Как парсить?"), TabSheet1), "GroupBox2");
  row->addWidget(GroupBox2, 1);
  grid = TightGrid(GroupBox2);
  grid->setVerticalSpacing(0);
  // Created in the order of the layout, which is the order of the keyboard focus: the long
  // caption on top, then each column downwards.
  CheckBox6 = MakeCheck(GroupBox2, "CheckBox6",
                        tr("парсить только походящие под шаблон страницы (игнор вайлиста)"));
  CheckBox5 = MakeCheck(GroupBox2, "CheckBox5", tr("текстовые выборки"));
  CheckBox5->setEnabled(false);
  CheckBox4 = MakeCheck(GroupBox2, "CheckBox4", tr("' = \""));
  CheckBox2 = MakeCheck(GroupBox2, "CheckBox2", tr("собирать только ссылки"));
  CheckBox1 = MakeCheck(GroupBox2, "CheckBox1", tr("игнорить вайтлист"));
  CheckBox3 = MakeCheck(GroupBox2, "CheckBox3", tr("селективный парсинг"));
  CheckBox7 = MakeCheck(GroupBox2, "CheckBox7", tr("исключать поддомены"));
  CheckBox8 = MakeCheck(GroupBox2, "CheckBox8", tr("Относительная адресация (надо тестить)"));
  CheckBox10 = MakeCheck(GroupBox2, "CheckBox10", tr("Юзать прокси (HTTP only)"));
  CheckBox11 = MakeCheck(GroupBox2, "CheckBox11", tr("расширенный формат ссылок"));
  Button4 = MakeButton(GroupBox2, "Button4", tr("SelectiveParse"));
  // Left column top to bottom, then the right column; the long caption takes the first row.
  grid->addWidget(CheckBox6, 0, 0, 1, 2);
  int line = 1;
  for (QCheckBox* box : {CheckBox5, CheckBox4, CheckBox2, CheckBox1, CheckBox3}) {
    grid->addWidget(box, line++, 0);
  }
  line = 1;
  for (QCheckBox* box : {CheckBox7, CheckBox8, CheckBox10, CheckBox11}) {
    grid->addWidget(box, line++, 1);
  }
  grid->addWidget(Button4, line, 1, Qt::AlignLeft);
}

void TForm1::BuildListsPage() {
  QGridLayout* grid = TightGrid(TabSheet2);
  Label10 = MakeLabel(TabSheet2, "Label10", tr("Блэклист (сюда ходить не надо): "));
  Memo1 = MakeMemo(TabSheet2, "Memo1", Label10);
  Memo1->setPlainText(MemoToQt(texts::kDefaultBlacklist));
  Label11 = MakeLabel(TabSheet2, "Label11", tr("Вайтлист (парсить текст только здесь):"));
  Memo2 = MakeMemo(TabSheet2, "Memo2", Label11);
  grid->addWidget(Label10, 0, 0);
  grid->addWidget(Memo1, 1, 0);
  grid->addWidget(Label11, 0, 1);
  grid->addWidget(Memo2, 1, 1);
}

void TForm1::BuildToolPages() {
  QWidget* page = TabSheet3;
  QGridLayout* grid = TightGrid(page);
  Label15 = MakeLabel(page, "Label15", tr("Удаляем файлы, размер которых меньше заданного"));
  Label16 = MakeLabel(page, "Label16", tr("Папка с файлами"));
  Edit6 = MakeEdit(page, "Edit6", Label16, QString());
  Label17 = MakeLabel(page, "Label17", tr("Размер, не менее"));
  Edit7 = MakeEdit(page, "Edit7", Label17, QStringLiteral("1024"));
  Edit7->setMaximumWidth(80);
  Label19 = MakeLabel(page, "Label19", tr("байт"));
  Button7 = MakeButton(page, "Button7", tr("Вперед"));
  Label24 = MakeLabel(page, "Label24", tr("Статус: ready"));
  grid->addWidget(Label15, 0, 0, 1, 4);
  grid->addWidget(Label16, 1, 0);
  grid->addWidget(Edit6, 1, 1, 1, 3);
  grid->addWidget(Label17, 2, 0);
  grid->addWidget(Edit7, 2, 1);
  grid->addWidget(Label19, 2, 2, 1, 2);
  grid->addWidget(Button7, 3, 1);
  grid->addWidget(Label24, 3, 2, 1, 2);
  grid->setColumnStretch(3, 1);
  grid->setRowStretch(4, 1);

  page = TabSheet4;
  grid = TightGrid(page);
  Label20 = MakeLabel(page, "Label20", tr("Объединение результатов парсинга в один файл"));
  Label22 = MakeLabel(page, "Label22", tr("Папка с файлами"));
  Edit3 = MakeEdit(page, "Edit3", Label22, QString());
  Label23 = MakeLabel(page, "Label23", tr("Объединить в файл"));
  Edit4 = MakeEdit(page, "Edit4", Label23, QString());
  CheckBox9 = Named(new MouseUpCheckBox(tr("Разделитель"), page), "CheckBox9");
  Edit5 = Named(new QLineEdit(ToQt(kDefaultSeparator), page), "Edit5");
  Edit5->setAccessibleName(CheckBox9->text());
  Edit5->setVisible(false);
  Button6 = MakeButton(page, "Button6", tr("Вперед"));
  Label21 = MakeLabel(page, "Label21", tr("Прогресс: 0/0"));
  grid->addWidget(Label20, 0, 0, 1, 3);
  grid->addWidget(Label22, 1, 0);
  grid->addWidget(Edit3, 1, 1, 1, 2);
  grid->addWidget(Label23, 2, 0);
  grid->addWidget(Edit4, 2, 1, 1, 2);
  grid->addWidget(CheckBox9, 3, 0);
  grid->addWidget(Edit5, 3, 1, 1, 2);
  grid->addWidget(Button6, 4, 1);
  grid->addWidget(Label21, 4, 2);
  grid->setColumnStretch(2, 1);
  grid->setRowMinimumHeight(3, Edit5->sizeHint().height());
  grid->setRowStretch(5, 1);

  page = TabSheet5;
  grid = TightGrid(page);
  Label25 = MakeLabel(page, "Label25", tr("папка с файлами"));
  Edit11 = MakeEdit(page, "Edit11", Label25, QString());
  GroupBox3 = Named(new QGroupBox(tr("чистка \"от и до\""), page), "GroupBox3");
  QGridLayout* inner = TightGrid(GroupBox3);
  Label26 = MakeLabel(GroupBox3, "Label26", tr("начало"));
  Edit8 = MakeEdit(GroupBox3, "Edit8", Label26, QStringLiteral("&"));
  Label29 = MakeLabel(GroupBox3, "Label29", tr("конец"));
  Edit9 = MakeEdit(GroupBox3, "Edit9", Label29, QStringLiteral(";"));
  Button9 = MakeButton(GroupBox3, "Button9", tr("го"));
  Label32 = MakeLabel(GroupBox3, "Label32", tr("Прогресс:"));
  inner->addWidget(Label26, 0, 0);
  inner->addWidget(Edit8, 0, 1);
  inner->addWidget(Label29, 0, 2);
  inner->addWidget(Edit9, 0, 3);
  inner->addWidget(Button9, 1, 0, 1, 2, Qt::AlignLeft);
  inner->addWidget(Label32, 1, 2, 1, 2);
  GroupBox4 = Named(new QGroupBox(tr("конкретные символы/слова"), page), "GroupBox4");
  inner = TightGrid(GroupBox4);
  Label30 = MakeLabel(GroupBox4, "Label30", tr("что удалить?"));
  Edit10 = MakeEdit(GroupBox4, "Edit10", Label30, QString());
  Button10 = MakeButton(GroupBox4, "Button10", tr("го"));
  Label33 = MakeLabel(GroupBox4, "Label33", tr("Прогресс:"));
  inner->addWidget(Label30, 0, 0);
  inner->addWidget(Edit10, 0, 1);
  inner->addWidget(Button10, 1, 0, Qt::AlignLeft);
  inner->addWidget(Label33, 1, 1);
  grid->addWidget(Label25, 0, 0);
  grid->addWidget(Edit11, 0, 1, 1, 2);
  grid->addWidget(GroupBox3, 1, 0, 1, 2);
  grid->addWidget(GroupBox4, 1, 2);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);

  page = TabSheet6;
  grid = TightGrid(page);
  Label31 = MakeLabel(page, "Label31", tr("папка с файлами"));
  Edit12 = MakeEdit(page, "Edit12", Label31, QString());
  Label34 = MakeLabel(page, "Label34", tr("сколько файлов в впапке"));
  Edit13 = MakeEdit(page, "Edit13", Label34, QStringLiteral("150"));
  Edit13->setMaximumWidth(80);
  Button11 = MakeButton(page, "Button11", tr("го"));
  Label37 = MakeLabel(page, "Label37", tr("Прогресс:"));
  grid->addWidget(Label31, 0, 0);
  grid->addWidget(Edit12, 0, 1, 1, 2);
  grid->addWidget(Label34, 1, 0);
  grid->addWidget(Edit13, 1, 1);
  grid->addWidget(Button11, 2, 1);
  grid->addWidget(Label37, 2, 2);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(3, 1);
}

// One check box per extension of kCheckOptions and one field per row of kNumberOptions that
// belong to `tab`, named after the table's control so the binding block finds them.
void TForm1::BuildExtensionPage(QWidget* page, ExtensionTab tab) {
  auto* layout = new QFormLayout(page);
  layout->setContentsMargins(8, 6, 8, 6);
  layout->setVerticalSpacing(1);
  // Two columns of check boxes, filled row by row, so a tab of many fits the page's height.
  auto* checks = new QWidget(page);
  auto* columns = new QGridLayout(checks);
  columns->setContentsMargins(0, 0, 0, 0);
  columns->setHorizontalSpacing(12);
  columns->setVerticalSpacing(1);
  int placed = 0;
  for (const CheckOption& row : kCheckOptions) {
    if (row.tab != tab) continue;
    auto* box = new QCheckBox(ShownToQt(Utf8ToCp1251(row.extension_caption)), checks);
    box->setObjectName(Utf8(row.control));
    box->setToolTip(Utf8(row.help));
    columns->addWidget(box, placed / 2, placed % 2);
    ++placed;
  }
  layout->addRow(checks);
  for (const NumberOption& row : kNumberOptions) {
    if (row.tab != tab) continue;
    auto* field = new QSpinBox(page);
    field->setObjectName(Utf8(row.control));
    field->setRange(0, INT_MAX);
    field->setToolTip(Utf8(row.help));
    auto* label = new QLabel(ShownToQt(Utf8ToCp1251(row.caption)), page);
    label->setBuddy(field);
    field->setAccessibleName(label->text());
    layout->addRow(label, field);
  }
}

void TForm1::BuildDuplicateRow() {
  auto* row = new QHBoxLayout;
  // The tab's form layout leaves no room between a row's own widgets.
  row->setSpacing(8);
  TextLabel1 = MakeLabel(TabSheet8, "TextLabel1", tr("дублей: 0"));
  TextLabel1->setMinimumWidth(120);
  TextButton1 = MakeButton(TabSheet8, "TextButton1", tr("убрать дубли"));
  TextButton1->setToolTip(tr("из папки на странице \"Фильтр результатов\""));
  TextLabel2 = MakeLabel(TabSheet8, "TextLabel2", tr("Прогресс:"));
  row->addWidget(TextLabel1);
  row->addWidget(TextButton1);
  row->addWidget(TextLabel2, 1);
  static_cast<QFormLayout*>(TabSheet8->layout())->addRow(row);
}

void TForm1::BuildCounters() {
  GroupBox5 = Place(new QGroupBox(tr("Стата"), this), "GroupBox5", 0, 184, 729, 41);
  auto* row = new QHBoxLayout(GroupBox5);
  row->setContentsMargins(8, 0, 8, 2);
  row->setSpacing(4);
  Label5 = MakeLabel(GroupBox5, "Label5", tr("активных потоков:"));
  Label6 = MakeLabel(GroupBox5, "Label6", QStringLiteral("0"));
  Label8 = MakeLabel(GroupBox5, "Label8", tr("пропарсено урлов:"));
  Label9 = MakeLabel(GroupBox5, "Label9", QStringLiteral("0"));
  Label18 = MakeLabel(GroupBox5, "Label18", tr("урлов: 0"));
  Label3 = MakeLabel(GroupBox5, "Label3", tr("убито потоков: 0"));
  Label27 = MakeLabel(GroupBox5, "Label27", tr("прокси: 0"));
  Label14 = MakeLabel(GroupBox5, "Label14", QStringLiteral("0"));
  Label28 = MakeLabel(GroupBox5, "Label28", QStringLiteral("0"));
  Label14->setVisible(false);
  Label28->setVisible(false);
  // Each count keeps room for six digits, so the row does not jump while it grows.
  for (QLabel* count : {Label6, Label9}) count->setMinimumWidth(48);
  // The counters change many times a second; plain text spares each change the rich-text test.
  for (QLabel* count : {Label6, Label9, Label18, Label3, Label27, Label14, Label28}) {
    count->setTextFormat(Qt::PlainText);
  }
  row->addWidget(Label5);
  row->addWidget(Label6);
  row->addWidget(Label8);
  row->addWidget(Label9);
  for (QLabel* label : {Label18, Label3, Label27}) {
    label->setMinimumWidth(120);
    row->addWidget(label);
  }
  row->addStretch(1);
}

void TForm1::BuildMonitor() {
  auto* monitor_row = Place(new QWidget(this), "MonitorRow", 0, 232, 734, 21);
  auto* row = new QHBoxLayout(monitor_row);
  row->setContentsMargins(8, 0, 8, 0);
  Label12 = MakeLabel(monitor_row, "Label12", tr("Монитор потоков"));
  Button2 = MakeButton(monitor_row, "Button2", tr("вкл/откл"));
  Button2->setFixedSize(75, 17);
  Label13 = MakeLabel(monitor_row, "Label13", tr("Обновление:"));
  Label7 = Named(new LinkLabel(tr("посетить сайт программы "), monitor_row), "Label7");
  QPalette blue = Label7->palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  Label7->setPalette(blue);
  Label7->setToolTip(Utf8(texts::kProgramSite));
  row->addWidget(Label12);
  row->addWidget(Button2);
  row->addWidget(Label13);
  row->addStretch(1);
  row->addWidget(Label7);

  Panel1 = Place(new QFrame(this), "Panel1", 0, 256, 734, 345);
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Raised);
  auto* off = new QLabel(tr("Монитор потоков отключен"), Panel1);
  off->setAlignment(Qt::AlignCenter);
  off->setGeometry(Panel1->rect());
  StringGrid1 = Place(new QTableWidget(0, 3, Panel1), "StringGrid1", 0, 0, 734, 345);
  StringGrid1->setAccessibleName(Label12->text());
  StringGrid1->verticalHeader()->setVisible(false);
  StringGrid1->verticalHeader()->setMinimumSectionSize(15);
  StringGrid1->verticalHeader()->setDefaultSectionSize(15);
  StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  StringGrid1->horizontalHeader()->setHighlightSections(false);
  StringGrid1->setColumnWidth(0, 47);
  StringGrid1->setColumnWidth(1, 590);
  StringGrid1->setColumnWidth(2, 75);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
  StringGrid1->setShowGrid(true);
  StringGrid1->setWordWrap(false);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(kWatchdogInterval);
}

// The binding block: every control the crawl reads writes its mirror member on every change.
void TForm1::BindControls() {
  BindEdit(Edit1, options_.site);                  // "сайт:"
  BindSpinText(SpinEdit1, options_.thread_count);  // "потоки"
  BindEdit(Edit2, options_.watchdog_timeout);      // "timeout, sec"
  BindMemo(Memo1, options_.blacklist);             // "Блэклист"
  BindMemo(Memo2, options_.whitelist);             // "Вайтлист"
  BindEnabled(CheckBox11, options_.normalize_anchors);  // "расширенный формат ссылок"
  BindOptionTables(this, "", options_);  // CheckBox1 ... CheckBox10, "Сеть" and "Текст"
}

void TForm1::ConnectHandlers() {
  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
  connect(Button8, &QPushButton::clicked, this, &TForm1::Button8Click);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
  connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
  connect(Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
  connect(Button6, &QPushButton::clicked, this, &TForm1::Button6Click);
  connect(Button9, &QPushButton::clicked, this, &TForm1::Button9Click);
  connect(Button10, &QPushButton::clicked, this, &TForm1::Button10Click);
  connect(Button11, &QPushButton::clicked, this, &TForm1::Button11Click);
  connect(TextButton1, &QPushButton::clicked, this, &TForm1::TextButton1Click);
  connect(CheckBox9, &MouseUpCheckBox::mouseUp, this, &TForm1::CheckBox9MouseUp);
  connect(Label7, &LinkLabel::clicked, this, &TForm1::Label7Click);
  connect(Label7, &LinkLabel::mouseMoved, this, &TForm1::Label7MouseMove);
}

// The grid's header and empty row, the tools' folders in the working folder, the settings.
void TForm1::FormCreate() {
  RenderGrid(StringGrid1, controller_.Grid(), rendered_rows_);
  rendered_grid_ = controller_.Grid().Version();
  Edit3->setText(PathToQt(WorkingPath(texts::kResultFolder)));
  Edit6->setText(PathToQt(WorkingPath(texts::kResultFolder)));
  Edit4->setText(PathToQt(WorkingPath(texts::kDefaultJoinFile)));
  Edit11->setText(Edit3->text());
  Edit12->setText(Edit3->text());
  ShowErrors(this, [this] { LoadSettingsFile(); });
  ShowErrors(this, [this] { ApplyExtensionValues(this, LoadExtensions(ExtensionsFilePath())); });
}

void TForm1::LoadSettingsFile() {
  const auto settings = LoadSettings(SettingsFilePath());
  if (!settings) return;
  Edit1->setText(ToQt(settings->site));
  Memo2->setPlainText(MemoToQt(settings->whitelist));
  Memo1->setPlainText(MemoToQt(settings->blacklist));
  TemplatesText = settings->templates;
}

void TForm1::savesettings() {
  TemplatesText = options_.templates.Get()->text;
  korvane::SaveSettings(SettingsFilePath(), SettingsOf(options_));
  SaveExtensions(ExtensionsFilePath(), options_);
}

void TForm1::FormDestroy() {
  ShowErrors(this, [this] { SaveExtensions(ExtensionsFilePath(), options_); });
  EndProcess();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (long_handlers_ == 0) FormDestroy();
  close_pending_ = true;
  event->ignore();
}

void TForm1::RunLongHandler(const std::function<void()>& body) {
  ++long_handlers_;
  ShowErrors(this, body);
  if (--long_handlers_ == 0 && close_pending_) FormDestroy();
}

// ---- Handlers ----

void TForm1::Button1Click() {
  RunLongHandler([this] { (void)controller_.Start(); });
}

void TForm1::Button3Click() {
  controller_.Stop();
}

void TForm1::Button8Click() {
  controller_.Halt();
}

void TForm1::Button2Click() {
  SetOuterHeight(frameGeometry().height() == kFoldedHeight ? kUnfoldedHeight : kFoldedHeight);
}

void TForm1::Button4Click() {
  ShowErrors(this, [this] { form2_->ShowWithTemplates(TemplatesText); });
}

void TForm1::Timer1Timer() {
  ShowErrors(this, [this] { controller_.WatchdogTick(); });
}

void TForm1::Button7Click() {
  RunTool(&TForm1::FilterFieldsNow, FilterSmallFiles);
}

void TForm1::Button6Click() {
  RunTool(&TForm1::JoinFieldsNow, JoinTexts);
}

void TForm1::Button9Click() {
  RunTool(&TForm1::CleanFieldsNow, CleanFromTo);
}

void TForm1::Button10Click() {
  RunTool(&TForm1::CleanFieldsNow, CleanWords);
}

void TForm1::Button11Click() {
  RunTool(&TForm1::SplitFieldsNow, [this](const SplitFields& fields, const ToolProgress& progress) {
    if (!SplitIntoFolders(fields, progress)) ShowMessageBox(this, ShownToQt(kNoFilesText));
  });
}

void TForm1::TextButton1Click() {
  RunTool(&TForm1::DedupeFieldsNow, RemoveDuplicateTexts);
}

void TForm1::CheckBox9MouseUp() {
  Edit5->setVisible(CheckBox9->isChecked());
}

void TForm1::Label7Click() {
  OpenWithDesktop(QUrl(Utf8(texts::kProgramSite)));
}

void TForm1::Label7MouseMove() {
  Label7->setCursor(Qt::PointingHandCursor);
}

// ---- The tools ----

FilterFields TForm1::FilterFieldsNow() const {
  return {PathFromQt(Edit6->text()), FromQt(Edit7->text())};
}

JoinFields TForm1::JoinFieldsNow() const {
  return {PathFromQt(Edit3->text()), PathFromQt(Edit4->text()), CheckBox9->isChecked(),
          FromQt(Edit5->text())};
}

CleanFields TForm1::CleanFieldsNow() const {
  return {PathFromQt(Edit11->text()), FromQt(Edit8->text()), FromQt(Edit9->text()),
          FromQt(Edit10->text())};
}

SplitFields TForm1::SplitFieldsNow() const {
  return {PathFromQt(Edit12->text()), FromQt(Edit13->text())};
}

DedupeFields TForm1::DedupeFieldsNow() const {
  return {PathFromQt(Edit6->text())};
}

template <class Fields, class Tool>
void TForm1::RunTool(Fields (TForm1::*read)() const, const Tool& tool) {
  RunLongHandler([&] {
    Fields fields = (this->*read)();
    tool(fields, [&](ToolLabel label, std::string_view text) {
      WriteToolLabel(label, text);
      controller_.ProcessMessages();
      fields = (this->*read)();
    });
  });
}

void TForm1::WriteToolLabel(ToolLabel label, std::string_view text) {
  QLabel* const labels[] = {Label24, Label21, Label32, Label33, Label37, TextLabel2};
  labels[static_cast<size_t>(label)]->setText(ShownToQt(text));
}

void TForm1::SetOuterHeight(int outer_height) {
  setFixedHeight(outer_height - (frameGeometry().height() - height()));
}

// ---- FrontEnd ----

void TForm1::WriteLabel(CounterLabel label, const std::string& text) {
  // In CounterLabel's order.
  QLabel* const labels[] = {Label27, Label18, Label3, Label6, Label9, Label14, Label28, TextLabel1};
  std::optional<std::string>& written = written_labels_[static_cast<size_t>(label)];
  if (written == text) return;  // the controller writes every count on every pass
  written = text;
  SetCounterText(labels[static_cast<size_t>(label)], ShownToQt(text));
}

void TForm1::ProcessMessages() {
  if (controller_.Grid().Version() != rendered_grid_) {
    RenderGrid(StringGrid1, controller_.Grid(), rendered_rows_);
    rendered_grid_ = controller_.Grid().Version();
  }
  QCoreApplication::processEvents();
}

void TForm1::ShowMessage(const std::string& text) {
  ShowMessageBox(this, ShownToQt(text));
}

void TForm1::ShowError(const KorvaneError& error) {
  ShowMessageBox(this, ErrorToQt(error));
}

bool TForm1::PrepareTemplates() {
  return form2_->TakeTemplates(TemplatesText);
}

void TForm1::SaveSettings() {
  savesettings();
}

void TForm1::SetWatchdogEnabled(bool enabled) {
  if (enabled) return Timer1->start();
  Timer1->stop();
}

void TForm1::Halt() {
  EndProcess();
}

}  // namespace korvane
