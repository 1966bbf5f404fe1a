// Code page 1251 texts and file names <-> widget texts.
#include "app/text_edge.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <vector>

#include "base/cp1251.h"
#include "settings/texts.h"
#include "tools/texts.h"

namespace korvane {

namespace {

// The core's fixed pieces that it joins with numbers into a label's text, longest first, so
// that a piece held in a longer one (", дублей: " holds "дублей: ") is found inside it.
const std::vector<QString>& JoinedPieces() {
  static const std::vector<QString> pieces = [] {
    std::vector<QString> texts;
    for (const std::string* piece :
         {&texts::kProxiesLabel, &texts::kUrlsLabel, &texts::kKilledLabel, &texts::kDuplicatesLabel,
          &tool_texts::kFilterStatus, &tool_texts::kProgress, &tool_texts::kJoinFinished,
          &tool_texts::kCleanFinished, &tool_texts::kDuplicatesFound}) {
      texts.push_back(ToQt(*piece));
    }
    std::ranges::stable_sort(texts, std::ranges::greater{}, &QString::size);
    return texts;
  }();
  return pieces;
}

QString Translated(const QString& text) {
  return QCoreApplication::translate("core", text.toUtf8().constData());
}

}  // namespace

QString ToQt(std::string_view cp1251) {
  const std::string utf8 = Cp1251ToUtf8(cp1251);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQt(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToCp1251(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

QString ShownToQt(std::string_view cp1251) {
  QString text = ToQt(cp1251);
  if (QString whole = Translated(text); whole != text) return whole;
  for (const QString& piece : JoinedPieces()) {
    if (text.contains(piece)) text.replace(piece, Translated(piece));
  }
  return text;
}

QString MemoToQt(std::string_view cp1251) {
  QString text = ToQt(cp1251);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

std::string MemoFromQt(const QString& text) {
  QString crlf = text;
  crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return FromQt(crlf);
}

QString PathToQt(std::string_view native) {
  return QFile::decodeName(QByteArray(native.data(), static_cast<qsizetype>(native.size())));
}

std::string PathFromQt(const QString& text) {
  const QByteArray native = QFile::encodeName(text);
  return std::string(native.constData(), static_cast<size_t>(native.size()));
}

QString ErrorToQt(const KorvaneError& error) {
  const KorvaneError::Parts parts = error.Split();
  return ToQt(parts.before) + PathToQt(parts.path) + ToQt(parts.after);
}

}  // namespace korvane
