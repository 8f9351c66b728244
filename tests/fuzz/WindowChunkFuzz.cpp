// Arbitrary chunks through the window's own received-chunk handler: one
// offscreen parameter window with recording fakes for the whole run, so every
// chunk also meets what earlier chunks left in the receive buffer. Whatever the
// bytes, the handler must return, report the chunk in at most one prompt, close
// the port, and change the controls only for a well-formed read reply.
#include "protocol/Frame.h"
#include "window/ParamterFrm.h"

#include <QApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using namespace korvel;

struct CountingPrompt final : window::IPrompt {
    int shown = 0;
    QString last;
    void information(const QString& text) override { note(text); }
    void warning(const QString& text) override { note(text); }
    void plain(const QString& text) override { note(text); }
    bool confirm(const QString& text) override {
        note(text);
        return false;
    }
    void note(const QString& text) {
        ++shown;
        last = text;
    }
};

struct NoPorts final : window::IPortLister {
    std::optional<std::vector<std::string>> listPorts() override { return std::nullopt; }
};
struct FixedClock final : window::IClock {
    QDateTime localNow() override { return QDateTime(QDate(2026, 3, 7), QTime(14, 25, 36)); }
    int standardBiasMinutes() override { return 0; }
};
struct NoSleep final : window::ISleeper {
    void sleepMs(int) override {}
};
struct NoOpener final : window::IDocumentOpener {
    void open(const QString&) override {}
};
struct NoFiles final : window::IFileChooser {
    QString fileToOpen() override { return {}; }
    QString fileToSave() override { return {}; }
};

struct World {
    NoPorts ports;
    CountingPrompt prompt;
    FixedClock clock;
    NoSleep sleeper;
    NoOpener opener;
    NoFiles files;
    window::TParamter window{{ports, prompt, clock, sleeper, opener, files}};
};

World* world = nullptr;

void Require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool IsReadReply(const std::uint8_t* data, std::size_t size) {
    return size == protocol::kFrameSize && protocol::CheckFrame(data, size) &&
           data[protocol::offset::kCommand] == protocol::command::kReadReply;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv); // lives as long as the process
    world = new World;
    world->window.show();
    QCoreApplication::processEvents();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 2048) {
        return 0;
    }
    window::TParamter& w = world->window;
    const QString serialBefore = w.edtSerialNumber->text();
    const QString tripBefore = w.mmoTripInfo->toPlainText();
    const int promptsBefore = world->prompt.shown;

    w.guarded([&] { w.CommReceiveData(*w.Comm, data, static_cast<std::uint16_t>(size)); });
    // In the program the next chunk comes through the event loop, which also
    // runs what the widgets queued while the controls were filled.
    QCoreApplication::processEvents();

    Require(world->prompt.shown - promptsBefore <= 1, "more than one prompt for one chunk");
    Require(w.Comm->PortHandle() == 0, "port left open");
    if (IsReadReply(data, size)) {
        Require(world->prompt.last == QStringLiteral("Read Success"), "read reply not reported");
    } else {
        Require(w.edtSerialNumber->text() == serialBefore, "serial number changed by a non-reply");
        Require(w.mmoTripInfo->toPlainText() == tripBefore, "trip text changed by a non-reply");
    }
    if (!protocol::CheckFrame(data, size > protocol::kFrameSize ? 0 : size)) {
        Require(world->prompt.last == QStringLiteral("Data Check Error"),
                "malformed chunk not reported");
    }
    return 0;
}
