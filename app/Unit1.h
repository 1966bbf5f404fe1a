// TForm1, the main window: crawl controls and options, the black and white lists, the result
// tools, the counters and the thread monitor. It is the crawl controller's front end.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "crawl/controller.h"
#include "crawl/front_end.h"
#include "crawl/monitor.h"
#include "settings/option_table.h"
#include "settings/options.h"
#include "tools/tools.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QTimer;

namespace korvane {

class LinkLabel;
class MouseUpCheckBox;
class ReportTab;
class TForm2;

class TForm1 final : public QWidget, public FrontEnd {
  Q_OBJECT

 public:
  // Builds the window, runs FormCreate, then creates the template window, hidden.
  TForm1();
  ~TForm1() override;

  [[nodiscard]] CrawlOptions& Options() { return options_; }
  [[nodiscard]] CrawlController& Controller() { return controller_; }
  [[nodiscard]] TForm2& TemplateWindow() { return *form2_; }

  // Writes the settings file from the site, the two lists and the templates, and sets
  // TemplatesText first; then the extensions file from the "Сеть" and "Текст" tabs. Raises
  // KorvaneError when a file cannot be written.
  void savesettings();

  // Runs a handler that processes messages for a long time (a crawl, a test fetch, a tool):
  // a close request made meanwhile waits until the outermost such handler has returned.
  // Errors it raises are shown in a message box.
  void RunLongHandler(const std::function<void()>& body);

  // Handlers.
  void FormCreate();
  [[noreturn]] void FormDestroy();
  void Button1Click();      // START
  void Button3Click();      // STOP
  void Button8Click();      // HALT
  void Button2Click();      // monitor on/off
  void Button4Click();      // SelectiveParse
  void Timer1Timer();       // the watchdog
  void Button7Click();      // "Вперед": the small-file filter
  void Button6Click();      // "Вперед": the text joiner
  void Button9Click();      // "го": from-to cleaning
  void Button10Click();     // "го": word cleaning
  void Button11Click();     // "го": the path maker
  void TextButton1Click();  // "убрать дубли": duplicate removal
  void CheckBox9MouseUp();
  void Label7Click();
  void Label7MouseMove();

  // FrontEnd.
  void WriteLabel(CounterLabel label, const std::string& text) override;
  void ProcessMessages() override;
  void ShowMessage(const std::string& text) override;
  void ShowError(const KorvaneError& error) override;
  bool PrepareTemplates() override;
  void SaveSettings() override;
  void SetWatchdogEnabled(bool enabled) override;
  [[noreturn]] void Halt() override;

  // The saved templates text (code page 1251), handed to the template window by START and
  // SelectiveParse.
  std::string TemplatesText;

  // ---- Controls, top to bottom. ----
  QTabWidget* PageControl1;  // the six pages of settings and tools, "Сеть" and "Текст"
  QWidget* TabSheet1;        // "Настройки": settings
  QWidget* TabSheet2;        // "Black n White"
  QWidget* TabSheet3;        // "Фильтр результатов": result filter
  QWidget* TabSheet4;        // "TextJoiner"
  QWidget* TabSheet5;        // "TextCleaner"
  QWidget* TabSheet6;        // "PathMaker"
  QWidget* TabSheet7;        // "Сеть": the network extensions
  QWidget* TabSheet8;        // "Текст": the text extensions
  QWidget* TabSheet9;        // "Отчёт": the run's live chart and counts, the report button
  ReportTab* ReportTab1;     // what TabSheet9 shows

  QGroupBox* GroupBox1;  // "Центр управления полетами": mission control centre
  QLabel* Label1;        // "сайт:": site
  QLineEdit* Edit1;      // the start address
  QLabel* Label2;        // "потоки": threads
  QSpinBox* SpinEdit1;   // most workers at once
  QLabel* Label4;        // "timeout, sec"
  QLineEdit* Edit2;      // the watchdog's time-out in seconds
  QPushButton* Button1;  // "START"
  QPushButton* Button3;  // "STOP"
  QPushButton* Button8;  // "HALT"
  QGroupBox* GroupBox2;  // "Как парсить?": how to parse?
  QCheckBox* CheckBox5;  // "текстовые выборки": text selections (disabled)
  QCheckBox* CheckBox4;  // "' = \"": apostrophes count as double quotes
  QCheckBox* CheckBox2;  // "собирать только ссылки": collect links only
  QCheckBox* CheckBox1;  // "игнорить вайтлист": ignore the whitelist
  QCheckBox* CheckBox3;  // "селективный парсинг": selective parsing
  QCheckBox* CheckBox7;  // "исключать поддомены": exclude subdomains
  QCheckBox* CheckBox6;  // parse only pages that fit a template (whitelist ignored)
  QCheckBox* CheckBox8;  // "Относительная адресация (надо тестить)": relative addressing
  QCheckBox* CheckBox10;  // "Юзать прокси (HTTP only)": use proxies
  QCheckBox* CheckBox11;  // "расширенный формат ссылок": extended link format
  QPushButton* Button4;   // "SelectiveParse": opens the template window

  QLabel* Label10;        // "Блэклист (сюда ходить не надо): ": blacklist
  QPlainTextEdit* Memo1;  // the blacklist
  QLabel* Label11;  // "Вайтлист (парсить текст только здесь):": whitelist
  QPlainTextEdit* Memo2;  // the whitelist

  QLabel* Label15;       // heading: we delete files smaller than the given size
  QLabel* Label16;       // "Папка с файлами": folder of files
  QLineEdit* Edit6;      // the filter's folder
  QLabel* Label17;       // "Размер, не менее": size, at least
  QLineEdit* Edit7;      // the filter's threshold in bytes
  QLabel* Label19;       // "байт": bytes
  QPushButton* Button7;  // "Вперед": run the filter
  QLabel* Label24;       // the filter's status

  QLabel* Label20;             // heading: joining the parse results into one file
  QLabel* Label22;             // "Папка с файлами": folder of files
  QLineEdit* Edit3;            // the joiner's folder
  QLabel* Label23;             // "Объединить в файл": join into the file
  QLineEdit* Edit4;            // the joined file
  MouseUpCheckBox* CheckBox9;  // "Разделитель": separator
  QLineEdit* Edit5;            // the separator line
  QPushButton* Button6;        // "Вперед": run the joiner
  QLabel* Label21;             // the joiner's progress

  QLabel* Label25;       // "папка с файлами": folder of files
  QLineEdit* Edit11;     // the cleaner's folder
  QGroupBox* GroupBox3;  // cleaning "from ... to"
  QLabel* Label26;       // "начало": start
  QLineEdit* Edit8;      // the start marker
  QLabel* Label29;       // "конец": end
  QLineEdit* Edit9;      // the end marker
  QPushButton* Button9;  // "го": go, from-to cleaning
  QLabel* Label32;       // from-to cleaning progress
  QGroupBox* GroupBox4;  // "конкретные символы/слова": specific characters/words
  QLabel* Label30;       // "что удалить?": what to delete?
  QLineEdit* Edit10;     // the text to delete
  QPushButton* Button10;  // "го": go, word cleaning
  QLabel* Label33;        // word cleaning progress

  QLabel* Label31;    // "папка с файлами": folder of files
  QLineEdit* Edit12;  // the path maker's folder
  QLabel* Label34;    // "сколько файлов в впапке": how many files in a folder
  QLineEdit* Edit13;  // files per sub-folder
  QPushButton* Button11;  // "го": go, path maker
  QLabel* Label37;        // the path maker's progress

  QGroupBox* GroupBox5;  // "Стата": stats
  QLabel* Label5;        // "активных потоков:": active threads
  QLabel* Label6;        // their count
  QLabel* Label8;        // "пропарсено урлов:": URLs parsed
  QLabel* Label9;        // their count
  QLabel* Label18;       // URLs waiting
  QLabel* Label3;        // threads killed
  QLabel* Label27;       // proxies loaded
  QLabel* Label14;       // registered workers (hidden)
  QLabel* Label28;       // registered workers (hidden)

  QLabel* Label12;       // "Монитор потоков": thread monitor
  QPushButton* Button2;  // "вкл/откл": monitor on/off
  QLabel* Label13;       // "Обновление:": update
  LinkLabel* Label7;  // "посетить сайт программы ": visit the program's web site

  QFrame* Panel1;  // "Монитор потоков отключен": thread monitor switched off
  QTableWidget* StringGrid1;  // the thread monitor
  QTimer* Timer1;             // the watchdog's timer, disabled

  QLabel* TextLabel1;        // "дублей: ": pages not saved as repeats, on "Текст"
  QPushButton* TextButton1;  // "убрать дубли": remove repeated texts from Edit6's folder
  QLabel* TextLabel2;        // duplicate removal progress

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildSettingsPage();
  void BuildListsPage();
  void BuildToolPages();
  // The extension controls of the option table's rows for `tab`, on `page`.
  void BuildExtensionPage(QWidget* page, ExtensionTab tab);
  // The duplicate count and the duplicate removal under the "Текст" tab's options.
  void BuildDuplicateRow();
  void BuildCounters();
  void BuildMonitor();
  void BindControls();
  void ConnectHandlers();
  void LoadSettingsFile();
  void SetOuterHeight(int outer_height);

  // The tools' fields as their controls hold them now.
  [[nodiscard]] FilterFields FilterFieldsNow() const;
  [[nodiscard]] JoinFields JoinFieldsNow() const;
  [[nodiscard]] CleanFields CleanFieldsNow() const;
  [[nodiscard]] SplitFields SplitFieldsNow() const;
  [[nodiscard]] DedupeFields DedupeFieldsNow() const;
  // Runs `tool` as a long handler over the fields `read` gives; each progress text goes to its
  // label, then messages are processed and the fields read again from their controls.
  template <class Fields, class Tool>
  void RunTool(Fields (TForm1::*read)() const, const Tool& tool);
  void WriteToolLabel(ToolLabel label, std::string_view text);

  CrawlOptions options_;
  CrawlController controller_;
  uint64_t rendered_grid_ = UINT64_MAX;          // the grid version StringGrid1 shows
  std::vector<MonitorGrid::Row> rendered_rows_;  // and its rows, header first
  // The text each counter label was last given, so an unchanged one is not set again.
  std::array<std::optional<std::string>, 8> written_labels_;
  int long_handlers_ = 0;       // long handlers running, nested
  bool close_pending_ = false;  // a close request waits for them
  std::unique_ptr<TForm2> form2_;
};

}  // namespace korvane
