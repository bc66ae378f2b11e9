#pragma once

// The language of what students receive (feedback pages, the worksheet's comments) and of the
// report that shows the same details. Texts are written in English in the code, marked with
// QT_TRANSLATE_NOOP("Feedback", ...) or QT_TRANSLATE_N_NOOP for those with a count, and
// translated through Qt's translation files: translations/orvimet_<language>.ts, made into .qm
// by lrelease at build time and found beside the executable (a build tree) or in the installed
// share folder. One loaded Language serves every thread; it is only read.

#include <memory>
#include <string>
#include <vector>

class QTranslator;

// The languages with a translation; the first is the default, this course's.
const std::vector<std::string> &languages();

class Language
{
public:
    // The texts as the code writes them, without plural forms: before any load.
    Language();

    // Loads the translation of `name`, one of languages(). False with `error` set when the name
    // is not one of them or its file cannot be found or read.
    bool load(const std::string &name, std::string &error);

    const std::string &name() const { return language; }
    // The language as HTML's lang attribute writes it: "zh-CN", "en".
    std::string html_name() const;

    // `source` in this language; the source itself when it has no translation.
    std::string text(const char *source) const;
    // The form of `source` for the count `n`, %n replaced by it ("1 time-out", "2 time-outs").
    std::string text(const char *source, int n) const;
    // The same of a text of another context than the pages' own ("Building", "Similarity").
    std::string text_in(const char *context, const char *source, int n = -1) const;

private:
    std::string language = "en";
    std::shared_ptr<const QTranslator> translator;
};

// Loads the translation of `name`, one of languages(), into `translator` from where Language
// finds it: the class window's texts are in the same files, in contexts of their own, and its
// application installs the translator. False with `error` set, as Language::load.
bool load_translation(QTranslator &translator, const std::string &name, std::string &error);

// `pattern` with %1, %2, ... replaced by `values` in order, in one pass: a value that itself
// holds "%2" (a student's name) is never replaced again.
std::string fill(const std::string &pattern, const std::vector<std::string> &values);
