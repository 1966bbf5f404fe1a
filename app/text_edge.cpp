// Code page 1251 texts and file names <-> widget texts.
#include "app/text_edge.h"

#include <QFile>

#include "base/cp1251.h"

namespace korvane {

QString ToQt(std::string_view cp1251) {
  const std::string utf8 = Cp1251ToUtf8(cp1251);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQt(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToCp1251(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
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
