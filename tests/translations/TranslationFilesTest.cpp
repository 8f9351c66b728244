// The translation files as a translator leaves them: every text translated,
// each translation with the placeholders of its English text, and the compiled
// files found for the languages they are for.
#include "translations/Language.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <vector>

namespace korvel::translations {
namespace {

struct Message {
    QString context;
    QString source;
    QString translation;
    bool finished = true;
};

std::vector<Message> ReadMessages(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    std::vector<Message> messages;
    QString context;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"message") {
            messages.push_back({context, {}, {}, true});
        } else if (xml.name() == u"source" && !messages.empty()) {
            messages.back().source = xml.readElementText();
        } else if (xml.name() == u"translation" && !messages.empty()) {
            messages.back().finished = !xml.attributes().hasAttribute(QStringLiteral("type"));
            messages.back().translation = xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
    return messages;
}

QSet<QString> Placeholders(const QString& text) {
    static const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
    QSet<QString> found;
    for (const QRegularExpressionMatch& match : placeholder.globalMatch(text)) {
        found.insert(match.captured());
    }
    return found;
}

TEST(TranslationFiles, TranslateEveryTextWithItsPlaceholders) {
    const QStringList files = QDir(QStringLiteral(KORVEL_TRANSLATIONS_DIR))
                                  .entryList({QStringLiteral("korvel_*.ts")}, QDir::Files);
    ASSERT_EQ(files.size(), 2) << "German and Simplified Chinese";
    for (const QString& name : files) {
        const std::vector<Message> messages =
            ReadMessages(QStringLiteral(KORVEL_TRANSLATIONS_DIR "/") + name);
        EXPECT_GT(messages.size(), 100u) << name.toStdString();
        for (const Message& m : messages) {
            const std::string where =
                name.toStdString() + " " + m.context.toStdString() + ": " + m.source.toStdString();
            EXPECT_TRUE(m.finished && !m.translation.isEmpty()) << where << " is not translated";
            EXPECT_EQ(Placeholders(m.translation), Placeholders(m.source)) << where;
        }
    }
}

// The system locale's language, its territory and script aside, finds its
// translation, and so do Qt's own texts; others stay English.
TEST(Language, InstallsTheTranslationsOfTheLocalesLanguage) {
    const struct {
        QLocale locale;
        bool translated;
        const char* cancel; // Qt's own Cancel button
    } cases[] = {
        {QLocale(QLocale::German, QLocale::Germany), true, "Abbrechen"},
        {QLocale(QLocale::German, QLocale::Switzerland), true, "Abbrechen"},
        {QLocale(QLocale::Chinese, QLocale::China), true, "取消"},
        {QLocale(QLocale::English, QLocale::UnitedStates), false, "Cancel"},
        {QLocale(QLocale::French, QLocale::France), false, "Cancel"},
        {QLocale(QLocale::Chinese, QLocale::Taiwan), false, "Cancel"},
    };
    EXPECT_EQ(Languages(), (QStringList{QStringLiteral("de"), QStringLiteral("zh_CN")}));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        const Language language(c.locale);
        EXPECT_EQ(language.translated(), c.translated);
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                  QString::fromUtf8(c.cancel));
    }
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
}

} // namespace
} // namespace korvel::translations
