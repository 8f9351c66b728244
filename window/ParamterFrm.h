#pragma once
// The parameter window: the one working window of the program. It holds every
// control of the logger's parameter block as a named member (the Qt object name
// is the member's name), the timers, and the state the logger exchanges share.
//
// The implementation is split by role:
//   ParamterLayout.cpp  creating the controls, their places, fonts and tab order
//   ParamterShow.cpp    FormCreate, FormShow: start values
//   ParamterRules.cpp   key filters, alarm/start-mode/password rules, enabling operations
//   ParamterThresholds.cpp  the threshold rows' table and their enabling operations
//   ParamterChrome.cpp  drag, pressed pictures, minimise, quit, about box, help
//   ParamterClock.cpp   the System Time clock (arithmetic in Clock.h)
//   ParamterSettingsFile.cpp  Open and Export: settings files into and out of the controls
// Handlers run on the window's thread; each bound handler runs inside guarded(),
// so an exception from it is shown to the user and never reaches the event loop.

#include "protocol/Frame.h"
#include "protocol/LoggerLink.h"
#include "protocol/ParameterBlock.h"
#include "serial/Comm.h"
#include "window/ControlValues.h"
#include "window/ErrorText.h"
#include "window/OpenedSettings.h"
#include "window/Picture.h"
#include "window/QtNotificationSink.h"
#include "window/SaveForm.h"
#include "window/SaveRecord.h"
#include "window/ScanStatus.h"
#include "window/Services.h"
#include "window/TripMemo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvel::window {

inline constexpr int kClientWidth = 979;
inline constexpr int kClientHeight = 789;
inline constexpr int kSysTimeIntervalMs = 995;
inline constexpr int kReadIntervalMs = 3000;

class TParamter : public QWidget {
    Q_OBJECT
public:
    // `services` must outlive the window.
    explicit TParamter(Services services, QWidget* parent = nullptr);

    // ---- Pictures, in stacking order (lowest first); all lie beneath the groups.
    TPicture* img1;
    TPicture* imgRead0;
    TPicture* imgSave0;
    TPicture* imgBack0;
    TPicture* imgOpen0;
    TPicture* imgExport0;
    TPicture* imgRead;
    TPicture* imgSave;
    TPicture* imgBack;
    TPicture* imgOpen;
    TPicture* imgExport;
    TPicture* imgTran;
    TPicture* imgAbout;
    TPicture* imgHelp;
    TPicture* imgMin;
    TPicture* imgClose;

    // ---- Group "Device Info", visible part.
    QGroupBox* grb1;
    QLabel* lblSerialNumber;
    QLineEdit* edtSerialNumber;
    QLabel* lblHumidityAlarmTime; // "Temp. Unit"
    QRadioButton* rbC;
    QRadioButton* rbF;
    QLabel* lblTimeZone;
    QComboBox* cbbTimeZone;
    QLabel* lbl57; // "System Time"
    QComboBox* cbbSystemTimeY;
    QComboBox* cbbSystemTimeM;
    QComboBox* cbbSystemTimeD;
    QComboBox* cbbSystemTimeH;
    QComboBox* cbbSystemTimeN;
    QComboBox* cbbSystemTimeS;
    QLabel* lbl58;
    QLabel* lbl59;
    QLabel* lbl66;
    QLabel* lbl67;
    QLabel* lbl68;
    QLabel* lbl69;

    // ---- Start-time row: hidden for the whole run, enabled by the start mode.
    QLabel* lbl37;
    QComboBox* cbbStartTimeY;
    QComboBox* cbbStartTimeM;
    QComboBox* cbbStartTimeD;
    QComboBox* cbbStartTimeH;
    QComboBox* cbbStartTimeN;
    QComboBox* cbbStartTimeS;
    QLabel* lbl38;
    QLabel* lbl39;
    QLabel* lbl40;
    QLabel* lbl41;
    QLabel* lbl42;
    QLabel* lbl43;

    // ---- "Device Info" controls beyond the group's right edge: clipped, never seen.
    QLabel* lblProbeMode;
    QComboBox* cbbProbeMode;
    QLabel* lblCycleSwitch;
    QComboBox* cbbCycleSwitch;
    QLabel* lblStopMode;
    QComboBox* cbbStopMode;
    QLabel* lblActualStopMode; // "Calibration Temperature"
    QLineEdit* edtCalibrationTemp;
    QLabel* lblHighestTemperature; // "Calibration Humidity"
    QLineEdit* edtCalibrationHumidity;
    QLabel* lblHighestHumidity; // "Temporary PDF Startup"
    QComboBox* cbbTemporaryPDFStartup;
    QLabel* lblMKT; // "Password Startup"
    QComboBox* cbbPasswordStartup;
    QLabel* lblDataPoint; // "Password"
    QLineEdit* edtPassword;

    // ---- Multiple-alarm panel (in "Device Info", below its bottom edge) and its
    // seven threshold rows: value edit, alarm-mode list, delay lists H, M, S.
    QFrame* pnlMultipleAlarm;
    QLabel* lblAlarmZone;
    QLabel* lbl36;
    QLabel* lbl2;
    QLabel* lbl12;
    QCheckBox* chkTemperatureH3;
    QCheckBox* chkTemperatureH2;
    QCheckBox* chkTemperatureL2;
    QCheckBox* chkHumidityH1;
    QCheckBox* chkHumidityL1;
    QLabel* lblTemperatureH3;
    QLabel* lbl1;
    QLabel* lbl5;
    QLabel* lbl9;
    QLabel* lbl13;
    QLabel* lbl17;
    QLabel* lbl21;
    QLineEdit* edtTemperatureH3;
    QLineEdit* edtTemperatureH2;
    QLineEdit* edtTemperatureH1;
    QLineEdit* edtTemperatureL1;
    QLineEdit* edtTemperatureL2;
    QLineEdit* edtHumidityH1;
    QLineEdit* edtHumidityL1;
    QComboBox* cbbTemperatureH3;
    QComboBox* cbbTemperatureH2;
    QComboBox* cbbTemperatureH1;
    QComboBox* cbbTemperatureL1;
    QComboBox* cbbTemperatureL2;
    QComboBox* cbbHumidityH1;
    QComboBox* cbbHumidityL1;
    QComboBox *cbbTemperatureH3H, *cbbTemperatureH3M, *cbbTemperatureH3S;
    QComboBox *cbbTemperatureH2H, *cbbTemperatureH2M, *cbbTemperatureH2S;
    QComboBox *cbbTemperatureH1H, *cbbTemperatureH1M, *cbbTemperatureH1S;
    QComboBox *cbbTemperatureL1H, *cbbTemperatureL1M, *cbbTemperatureL1S;
    QComboBox *cbbTemperatureL2H, *cbbTemperatureL2M, *cbbTemperatureL2S;
    QComboBox *cbbHumidityH1H, *cbbHumidityH1M, *cbbHumidityH1S;
    QComboBox *cbbHumidityL1H, *cbbHumidityL1M, *cbbHumidityL1S;
    QLabel *lbl11, *lbl14, *lbl15, *lbl16, *lbl18, *lbl19, *lbl20, *lbl22, *lbl23, *lbl24, *lbl25,
        *lbl26, *lbl27, *lbl28, *lbl29, *lbl30, *lbl31, *lbl32, *lbl33, *lbl34, *lbl35;

    // ---- Group "Log Setting".
    QGroupBox* grp3;
    QLabel* lblStartMode;
    QComboBox* cbbStartMode;
    QLabel* lblStartupParameter; // "Start Delay"
    QComboBox* cbbStartDelayH;
    QComboBox* cbbStartDelayM;
    QLabel* lbl8;
    QLabel* lbl10;
    QLabel* lblLogInterval;
    QComboBox* cbbLogIntervalH;
    QComboBox* cbbLogIntervalM;
    QComboBox* cbbLogIntervalS; // hidden for the whole run
    QLabel* lbl3;
    QLabel* lbl4;
    QLabel* lbl6; // hidden with cbbLogIntervalS

    // ---- Group "Alarm Setting".
    QGroupBox* grp2;
    QRadioButton* rbNoAlarm;
    QRadioButton* rbSingleAlarm;
    QRadioButton* rbMultipleAlarm; // hidden; selected only from a read reply
    QFrame* pnlSingleAlarm;
    QFrame* bvl1;
    QLabel* lbl47;
    QLineEdit* edtSingleH1;
    QLabel* lblH1;
    QLabel* lbl48;
    QLineEdit* edtSingleL1;
    QLabel* lbl7;

    // ---- Group "Trip Information".
    QGroupBox* grp1;
    TripMemo* mmoTripInfo;

    // ---- Status line in the strip under the groups: what a scan for the logger
    // is doing, and why one found nothing; after a Read or a Save, when the
    // logger was last saved. Empty otherwise.
    QLabel* lblScanStatus;

    // ---- Timers.
    QTimer* tmrRead;    // discovery poll, 3000 ms, stopped at start
    QTimer* tmrSysTime; // clock, 995 ms, started by FormShow

    // The history of saves; app/ hands it the store (SetHistory).
    SaveRecord saveRecord;

    // ---- Logger exchanges: discovery (ParamterDiscovery.cpp), read reply
    // (ParamterReadReply.cpp) and save command (ParamterSave.cpp). bindExchanges()
    // connects Comm's received data and the clicks of the Read, Save and Back
    // pictures (both pictures of each pair) to the handlers below.

    // The same window around `comm`, a port component built on this thread (tests
    // pass one over a fake device); the window owns it for its whole life.
    TParamter(Services services, std::unique_ptr<serial::TComm> comm, QWidget* parent = nullptr);

    // The one serial port component; never null.
    std::unique_ptr<serial::TComm> Comm = std::make_unique<serial::TComm>(MakeQtNotificationSink);

    // Replaces `list` with the port names, sorted; a failed listing leaves it as it was.
    void EnumSerialPorts(std::vector<std::string>& list);
    // Opens the port at portIndex of portList and sends the read command; does
    // nothing past the end of the list; failures pass without a message box
    // (a scan reports them in lblScanStatus).
    void PollPort();
    // A tick polls the next port of the scan. In the Found state it means that
    // the one poll of a Read got no valid reply within an interval: the scan
    // starts again from the first port.
    void tmrReadTimer();
    // Lists the ports. Found, and the logger's port still at its position: one
    // poll at once. Otherwise a scan from the first port, one tick from now.
    void imgReadClick();
    void imgBackClick();
    // One received chunk, taken as one whole frame: checked, reported, a read
    // reply shown in the controls; the port is closed afterwards.
    void CommReceiveData(serial::TComm& sender, const std::uint8_t* buffer, std::uint16_t length);
    // Validates the controls, builds the save command in sendBuffer and sends it
    // to portName.
    void imgSaveClick();

    // ---- Settings files (ParamterSettingsFile.cpp); neither talks to the logger.
    // Open asks for a file and shows its settings in the controls as a read
    // would; a file that cannot be read or is refused changes nothing and is
    // named in a warning prompt with its problems.
    void imgOpenClick();
    // Export checks the controls as Save does (the same refusals) and writes the
    // settings Save would send to the file the user picks.
    void imgExportClick();

    // ---- Start-up (ParamterShow.cpp).
    void FormCreate();
    // Runs once, on the first show.
    void FormShow();

    // ---- Field rules (ParamterRules.cpp). A key hook refuses a key by setting it
    // to the null character.
    void edtNumberKeyPress(QLineEdit& sender, QChar& key);
    void edtCharKeyPress(QLineEdit& sender, QChar& key);
    void edtSerialNumberKeyPress(QLineEdit& sender, QChar& key);
    void rbClick();
    void cbbStartModeChange();
    void cbbPasswordStartupChange();
    void chkTemperatureH3Click();
    void chkTemperatureH2Click();
    void chkTemperatureL2Click();
    void chkHumidityH1Click();
    void chkHumidityL1Click();

    // ---- Enabling operations: set only the enabled state of their controls.
    void SetStartDelayEnabled(bool enabled);
    void SetStartTimeEnabled(bool enabled);
    void SetTemperatureH3Enabled(bool enabled);
    void SetTemperatureH2Enabled(bool enabled);
    void SetTemperatureL2Enabled(bool enabled);
    void SetHumidityH1Enabled(bool enabled);
    void SetHumidityL1Enabled(bool enabled);

    // ---- Chrome and clock (ParamterChrome.cpp, ParamterClock.cpp).
    // Drag by the bare background: a left press and a move hand the move to the
    // window manager, or follow the pointer where the platform cannot move.
    void img1MouseDown(Qt::MouseButton button, QPointF globalPosition);
    void img1MouseMove(Qt::MouseButtons buttons, QPointF globalPosition);
    // A press of any button brings the pressed twin to the front; the pair's
    // click handler hides it again.
    void imgReadMouseDown();
    void imgSaveMouseDown();
    void imgBackMouseDown();
    void imgOpenMouseDown();
    void imgExportMouseDown();
    void imgMinClick();
    // Confirms, closes the port (a failure is shown, not fatal), then the window.
    // The scan waits while the question is open; Cancel resumes it.
    void imgCloseClick();
    // A fresh, modal TAboutFrm over the veil imgTran.
    void imgAboutClick();
    // Opens Help.pdf next to the executable; nothing when it is missing.
    void imgHelpClick();
    // Selects the time in the zone picked in cbbTimeZone in the six System Time lists.
    void tmrSysTimeTimer();

    // Runs a handler body; an exception it throws is shown as a warning prompt
    // with its message, so none crosses Qt's event loop.
    template <class F> void guarded(F&& body) {
        try {
            body();
        } catch (const std::exception& error) {
            services.prompt.warning(ErrorText(error));
        } catch (...) {
            services.prompt.warning(QCoreApplication::translate("Prompt", "Unknown error"));
        }
    }

    // Selects `index` in `list`, or nothing when the list has no such item.
    static void SelectListIndex(QComboBox* list, int index);

protected:
    void showEvent(QShowEvent* event) override;

    Services services;

private:
    // Tests reach the exchange state below through this; nothing else outside
    // the window needs it.
    friend struct TParamterTestAccess;

    // ---- State shared by the logger exchanges (discovery, read reply, save).
    QChar decimalSeparator = QLatin1Char('.');
    protocol::Block receiveBuffer{};
    protocol::Block sendBuffer{};
    // The logger's own settings: those of the last read reply or confirmed save,
    // with what the last Open put over them. A value it holds is let through
    // where one typed anew is refused (a single alarm's crossed limits).
    protocol::LoggerSettings heldSettings;
    std::array<std::uint8_t, protocol::kReadCommand.size()> readCommand{};
    std::vector<std::string> portList;
    int portIndex = 0;
    std::string portName;
    bool deviceFound = false;
    bool firstTick = false;

    // ParamterLayout.cpp
    void createPictures();
    void createDeviceInfo();
    void createOutOfView();
    void createMultipleAlarmPanel();
    void createLogSetting();
    void createAlarmSetting();
    void createTripInformation();
    void createStatusLine();
    void createTimers();
    void bindHandlers();
    void applyTabOrder();

    // ParamterShow.cpp
    void centreOnScreen();
    // Gives `list` the items and selects the first.
    void fillList(QComboBox* list, const QStringList& items);
    void fillDateTimeLists(const std::array<QComboBox*, 6>& lists);
    std::map<QStringList, QAbstractItemModel*> sharedListItems_; // models owned by the window

    // Logger exchanges (ParamterDiscovery.cpp, ParamterReadReply.cpp, ParamterSave.cpp).
    // Every exchange drives the line as protocol/LoggerLink.h says.
    static constexpr int kPortPauseMs = static_cast<int>(protocol::link::kPortPause.count());
    // The longest the window's thread waits for a port to open; one that
    // takes longer (an outgoing Bluetooth port) costs its poll and is closed
    // off this thread once it has opened.
    static constexpr std::chrono::milliseconds kOpenLimit{500};
    // The enabled state of a threshold row's edit and lists (ParamterThresholds.cpp).
    void setThresholdEnabled(protocol::Threshold threshold, bool enabled);
    void bindExchanges();
    void bindComm();
    void openForExchange(const std::string& name);
    // PollPort's step; nullopt when portIndex lies past the list.
    std::optional<PollResult> pollPort();
    // portIndex 0, firstTick set, a fresh scan report over portList.
    void beginScan();
    // Stops tmrRead for good: a scan cut short no longer shows its progress.
    void stopScan();
    void setScanStatus(ScanProgress scan);
    // One line in lblScanStatus, cut to its width; `details` go below the whole
    // line in its tool tip.
    void showStatus(const QString& text, const QString& details);
    // The history's newest save of the logger last read, in lblScanStatus.
    void showLastSave();
    ScanProgress scan_;
    // The quit question holds a running tmrRead; stopping the scan meanwhile
    // clears this, and Cancel starts the timer again only while it is set.
    bool scanPaused_ = false;
    void handleChunk(const std::uint8_t* buffer, std::uint16_t length);
    void rememberAnsweringPort();
    // Sets the controls of the settings `shown` names; a read shows them all.
    void showControlValues(const ControlValues& values,
                           const protocol::SettingKeys& shown = protocol::SettingKeys::All());
    // The controls' texts and indices as the save reads them.
    SaveForm saveForm() const;
    // The settings a save would write now, or nothing after telling the user why
    // not: a refusal moves the focus and shows its message, a text that is no
    // number throws as Save's does.
    std::optional<SaveValues> settingsToSave();
    void closeAfterChunk();
    char separatorByte() const;
    // The edit a refused save puts the focus on.
    QLineEdit* fieldEdit(Field field) const;

    // ParamterChrome.cpp
    void bindChromeHandlers();
    bool dragging_ = false;
    bool systemMoveTried_ = false;
    QPoint dragPointerStart_;
    QPoint dragWindowStart_;

    bool shown_ = false;
};

} // namespace korvel::window
