// Open and Export: settings files read into the controls and written from them,
// without the logger. Open goes the way of a read reply (settings, then the
// values the controls show); Export the way of a save (the controls' texts,
// checked, then settings).
#include "window/ParamterFrm.h"

#include "protocol/SettingsCodec.h"
#include "settingsfile/SettingsFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace korvel::window {

void TParamter::imgOpenClick() {
    imgOpen0->hide();
    const QString path = services.files.fileToOpen();
    if (path.isEmpty()) {
        return;
    }
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        services.prompt.warning(tr("Cannot open %1: %2").arg(name, file.errorString()));
        return;
    }
    // Refused before reading: nothing this large is a settings file.
    if (file.size() > static_cast<qint64>(settingsfile::kMaxFileBytes)) {
        services.prompt.warning(tr("Cannot open %1: the file is larger than 1 MiB").arg(name));
        return;
    }
    const QByteArray bytes = file.readAll();

    const std::optional<SaveValues> current = [this]() -> std::optional<SaveValues> {
        const protocol::Result<SaveValues> values =
            ValuesOfForm(saveForm(), separatorByte(), protocol::DecodeSettings(sendBuffer));
        return values ? std::optional<SaveValues>(*values) : std::nullopt;
    }();
    // Controls a save would refuse hold no settings: the last frame sent stands in.
    const OpenedFile result = OpenSettingsFile(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
        current ? current->settings : protocol::DecodeSettings(sendBuffer), heldSettings);
    if (!result.opened) {
        QStringList problems;
        for (const std::string& problem : result.problems) {
            problems.append(QString::fromStdString(problem));
        }
        services.prompt.warning(tr("%1 was not opened:\n%2").arg(name, problems.join(u'\n')));
        return;
    }

    const OpenedSettings& opened = *result.opened;
    heldSettings = opened.held;
    const ControlValues values = ControlValuesOf(opened.settings);
    if (opened.shown.Has(protocol::SettingKey::SerialNumber)) {
        edtSerialNumber->setText(QString::fromLatin1(
            values.serialNumber.data(), static_cast<qsizetype>(values.serialNumber.size())));
    }
    showControlValues(values, opened.shown);
}

void TParamter::imgExportClick() {
    imgExport0->hide();
    const std::optional<SaveValues> values = settingsToSave();
    if (!values) {
        return;
    }
    const QString path = services.files.fileToSave();
    if (path.isEmpty()) {
        return;
    }
    const std::string text = settingsfile::WriteSettingsFile(values->settings);
    // Written beside the target and renamed over it: a failed export never
    // leaves half a file where a good one was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        services.prompt.warning(
            tr("Cannot write %1: %2").arg(QFileInfo(path).fileName(), file.errorString()));
    }
}

} // namespace korvel::window
