// Binding controls to the options mirror: each Bind writes the control's value into its
// mirror member at once and again on every change, on the main thread. Workers read only the
// mirror, never a widget.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crawl/monitor.h"
#include "settings/extensions_file.h"
#include "settings/options.h"

class QCheckBox;
class QLabel;
class QString;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QTableWidget;
class QWidget;

namespace korvane {

void BindCheck(QCheckBox* box, std::atomic<bool>& option);
// For a Guarded<std::string> or a NumberText.
template <class Option>
void BindEdit(QLineEdit* edit, Option& option);
void BindMemo(QPlainTextEdit* memo, Guarded<MemoText>& option);
// The spin box's text, as typed; the engine reads a text that is no whole number as 0.
void BindSpinText(QSpinBox* spin, NumberText& option);
void BindNumber(QSpinBox* spin, std::atomic<int64_t>& option);
// The control's enabled state (CheckBox11: the anchors are normalised while it is enabled).
void BindEnabled(QWidget* control, std::atomic<bool>& option);

// Ticking either box unticks the other: two options that exclude each other.
void UntickEachOther(QCheckBox* one, QCheckBox* other);

// Binds every check box of kCheckOptions whose control name starts with `prefix` (the prefix
// taken off, what remains is the object name of a check box in `window`), and, with an empty
// prefix, every field of kNumberOptions, and greys out each box whose row needs another
// option while that option's box is unticked. A row without its control is a programming
// fault (std::logic_error).
void BindOptionTables(QWidget* window, std::string_view prefix, CrawlOptions& options);

// Gives each control named by `values` (a check box or a number field of `window`) its
// value; its binding then writes the option.
void ApplyExtensionValues(QWidget* window, const std::vector<ExtensionValue>& values);

// Shows `grid` in `table`: the header row as the column titles, the other rows as the
// table's rows. `shown` holds the rows the table shows, header first, and is brought up to
// date: only what differs from it is touched, so an unchanged row is never repainted.
void RenderGrid(QTableWidget* table, const MonitorGrid& grid, std::vector<MonitorGrid::Row>& shown);

// Sets a counter label's text. While the text fits the width the label keeps for its count
// (its minimum width), the label is pinned to its size: Qt lays nothing out again for a
// widget whose size cannot change, so a new count repaints the label alone instead of making
// a layout pass over its row. A text that needs more room unpins it and the row is laid out
// as before; with the room kept, the row looks the same either way.
void SetCounterText(QLabel* label, const QString& text);

// Paces a top-level window's repaints to one per `interval_ms` at most: an update request
// that comes sooner is held back for the rest of the interval, and everything changed
// meanwhile is painted at once then. A crawl changes counters and monitor rows on every pass
// of its 20 ms beat, and painting each of those states cost the main thread more than the
// crawl itself.
void PacePaints(QWidget* window, int interval_ms);

}  // namespace korvane
