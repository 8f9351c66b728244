#pragma once
// The user's language for Korvel's texts, from the translations compiled into
// the program, and Qt's own (the standard buttons of the message boxes), from
// Qt's translation files. While a Language lives its translators are
// installed; English needs none.
//
// Pictures with words follow QLocale(), the default locale, which is the
// system's unless a test sets another (korvel::assets::translatedPath).

#include <QLocale>
#include <QStringList>
#include <QTranslator>

namespace korvel::translations {

// The languages Korvel speaks besides English, as locale names ("de", "zh_CN").
QStringList Languages();

// Where Qt's own translations (qtbase_<language>.qm) are looked for, first
// found first: the folder "translations" beside the program, where the Windows
// programs carry them (their Qt is linked in and has no folder of its own), then
// the installed Qt's folder.
QStringList QtTranslationFolders();

class Language {
public:
    // Needs a QCoreApplication. A locale without a Korvel translation (English
    // among them) installs nothing.
    explicit Language(const QLocale& locale);
    ~Language();
    Language(const Language&) = delete;
    Language& operator=(const Language&) = delete;

    // Whether Korvel's texts are translated.
    bool translated() const { return ownInstalled_; }

private:
    QTranslator own_;
    QTranslator qt_;
    bool ownInstalled_ = false;
    bool qtInstalled_ = false;
};

} // namespace korvel::translations
