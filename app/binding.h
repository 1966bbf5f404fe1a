// Binding controls to the options mirror: each Bind writes the control's value into its
// mirror member at once and again on every change, on the main thread. Workers read only the
// mirror, never a widget.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crawl/extensions_file.h"

#include "crawl/options.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QTableWidget;
class QWidget;

namespace korvane {

class MonitorGrid;

void BindCheck(QCheckBox* box, std::atomic<bool>& option);
void BindEdit(QLineEdit* edit, Guarded<std::string>& option);
void BindMemo(QPlainTextEdit* memo, Guarded<MemoText>& option);
// The spin box's text, as typed; the engine reads a text that is no whole number as 0.
void BindSpinText(QSpinBox* spin, Guarded<std::string>& option);
void BindNumber(QSpinBox* spin, std::atomic<int64_t>& option);
// The control's enabled state (CheckBox11: the anchors are normalised while it is enabled).
void BindEnabled(QWidget* control, std::atomic<bool>& option);

// Binds every check box of kCheckOptions whose control name starts with `prefix` (the prefix
// taken off, what remains is the object name of a check box in `window`), and, with an empty
// prefix, every field of kNumberOptions. A row without its control is a programming fault
// (std::logic_error).
void BindOptionTables(QWidget* window, std::string_view prefix, CrawlOptions& options);

// Gives each control named by `values` (a check box or a number field of `window`) its
// value; its binding then writes the option.
void ApplyExtensionValues(QWidget* window, const std::vector<ExtensionValue>& values);

// Shows `grid` in `table`: the header row as the column titles, the other rows as the
// table's rows.
void RenderGrid(QTableWidget* table, const MonitorGrid& grid);

}  // namespace korvane
