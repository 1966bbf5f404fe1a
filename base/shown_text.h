// The mark on a fixed text of the core that a window shows.
#pragma once

// KORVANE_SHOWN("core", "прокси: ") is the text "прокси: " itself: the core never
// translates. Qt's lupdate reads the mark as QT_TRANSLATE_NOOP and collects the text, under
// the context "core", for the window's translations; the window looks the text up when it
// shows it. Data (file names, grid states, what goes into files) is never marked.
#define KORVANE_SHOWN(context, text) text
