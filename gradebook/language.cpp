#include "gradebook/language.h"

#include "judge/utf8.h"

#include <QCoreApplication>
#include <QDir>
#include <QTranslator>
#include <algorithm>

namespace {

constexpr char context[] = "Feedback";

// Where the .qm files are: translations/ beside the executable in a build tree, the share folder
// of an installation, relative to bin/ as the install rules lay it out.
QStringList translation_folders()
{
    const QString executable_folder = QCoreApplication::applicationDirPath();
    return {executable_folder + QStringLiteral("/translations"),
            QDir::cleanPath(executable_folder + QStringLiteral("/")
                            + QStringLiteral(ORVIMET_TRANSLATIONS_FROM_BINDIR))};
}

} // namespace

const std::vector<std::string> &languages()
{
    static const std::vector<std::string> names = {"zh_CN", "en"};
    return names;
}

Language::Language() = default;

bool load_translation(QTranslator &translator, const std::string &name, std::string &error)
{
    const auto &known = languages();
    if (std::find(known.begin(), known.end(), name) == known.end()) {
        error = "no translation into \"" + name + "\" (there are zh_CN and en)";
        return false;
    }
    const QString file = QStringLiteral("orvimet_") + from_utf8(name);
    const QStringList folders = translation_folders();
    for (const QString &folder : folders)
        if (translator.load(file, folder))
            return true;
    error = "the translation " + to_utf8(file) + ".qm is in none of "
            + to_utf8(folders.join(QStringLiteral(", ")));
    return false;
}

bool Language::load(const std::string &name, std::string &error)
{
    auto loaded = std::make_shared<QTranslator>();
    if (!load_translation(*loaded, name, error))
        return false;
    translator = std::move(loaded);
    language = name;
    return true;
}

std::string Language::html_name() const
{
    std::string name = language;
    std::replace(name.begin(), name.end(), '_', '-');
    return name;
}

std::string Language::text(const char *source) const
{
    return text_in(context, source);
}

std::string Language::text(const char *source, int n) const
{
    return text_in(context, source, n);
}

std::string Language::text_in(const char *in, const char *source, int n) const
{
    const QString translated
        = translator ? translator->translate(in, source, nullptr, n) : QString();
    std::string out = translated.isEmpty() ? std::string(source) : to_utf8(translated);
    if (n < 0)
        return out;
    // QTranslator leaves %n to its caller, as QCoreApplication::translate does it.
    for (std::size_t at = out.find("%n"); at != std::string::npos; at = out.find("%n", at))
        out.replace(at, 2, std::to_string(n));
    return out;
}

std::string fill(const std::string &pattern, const std::vector<std::string> &values)
{
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::size_t number = i + 1 < pattern.size() ? std::size_t(pattern[i + 1] - '0') : 0;
        if (pattern[i] == '%' && number >= 1 && number <= 9 && number <= values.size()) {
            out += values[number - 1];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}
