// Choosing and installing the windows' language.
#include "app/language.h"

#include <QCoreApplication>
#include <QTranslator>
#include <stdexcept>
#include <string>
#include <string_view>

namespace korvane {

namespace {

constexpr std::string_view kOption = "--lang";

Language LanguageOfValue(std::string_view value) {
  if (value == "ru") return Language::kRussian;
  if (value == "en") return Language::kEnglish;
  throw std::invalid_argument("--lang takes ru or en, not \"" + std::string(value) + "\"");
}

QTranslator& English() {
  static QTranslator translator;
  return translator;
}

}  // namespace

Language DesktopLanguage(const QStringList& ui_languages) {
  for (const QString& name : ui_languages) {
    const QString language = name.section(QLatin1Char('-'), 0, 0).toLower();
    if (language == u"ru" || name == u"C" || name == u"POSIX") return Language::kRussian;
    if (language == u"en") return Language::kEnglish;
  }
  return Language::kEnglish;
}

std::optional<Language> TakeLanguageOption(int& argc, char** argv) {
  std::optional<Language> language;
  for (int i = 1; i < argc;) {
    const std::string_view argument = argv[i];
    int taken = 1;
    std::string_view value;
    if (argument == kOption) {
      if (i + 1 == argc) throw std::invalid_argument("--lang needs a value: ru or en");
      value = argv[i + 1];
      taken = 2;
    } else if (argument.starts_with(std::string(kOption) + "=")) {
      value = argument.substr(kOption.size() + 1);
    } else {
      ++i;
      continue;
    }
    language = LanguageOfValue(value);
    for (int j = i; j + taken <= argc; ++j) argv[j] = argv[j + taken];
    argc -= taken;
  }
  return language;
}

bool UseLanguage(Language language) {
  QCoreApplication::removeTranslator(&English());
  if (language == Language::kRussian) return true;
  const QString installed =
      QCoreApplication::applicationDirPath() + QStringLiteral("/../share/korvane/translations");
  if (!English().load(QStringLiteral("korvane_en"), installed) &&
      !English().load(QStringLiteral(":/i18n/korvane_en"))) {
    return false;
  }
  return QCoreApplication::installTranslator(&English());
}

}  // namespace korvane
