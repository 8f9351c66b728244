#include "platform/SerialErrno_win.h"

#include <windows.h>

#include <ostream>

#include <gtest/gtest.h>

namespace korvel::platform {
namespace {

struct ErrorCase {
    const char* name;
    DWORD code;
    Win32Site site;
    SerialError expected;
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr auto kOpen = Win32Site::Open;
constexpr auto kTransfer = Win32Site::Transfer;

const ErrorCase kErrorCases[] = {
    {"Success", ERROR_SUCCESS, kTransfer, SerialError::None},
    {"NoSuchPort", ERROR_FILE_NOT_FOUND, kOpen, SerialError::NotFound},
    {"BadName", ERROR_INVALID_NAME, kOpen, SerialError::NotFound},
    {"HeldByAnotherProgram", ERROR_ACCESS_DENIED, kOpen, SerialError::Busy},
    {"SharingViolation", ERROR_SHARING_VIOLATION, kOpen, SerialError::Busy},
    {"NotASerialDevice", ERROR_INVALID_FUNCTION, kOpen, SerialError::NotATerminal},
    {"HandleLetGoDuringTransfer", ERROR_INVALID_HANDLE, kTransfer, SerialError::DeviceGone},
    {"InvalidHandleAtOpen", ERROR_INVALID_HANDLE, kOpen, SerialError::InvalidHandle},
    // An unplugged adapter, as the common USB serial drivers report it.
    {"UnpluggedAccessDenied", ERROR_ACCESS_DENIED, kTransfer, SerialError::DeviceGone},
    {"UnpluggedBadCommand", ERROR_BAD_COMMAND, kTransfer, SerialError::DeviceGone},
    {"UnpluggedAborted", ERROR_OPERATION_ABORTED, kTransfer, SerialError::DeviceGone},
    {"UnpluggedNotConnected", ERROR_DEVICE_NOT_CONNECTED, kTransfer, SerialError::DeviceGone},
    {"UnpluggedGeneralFailure", ERROR_GEN_FAILURE, kTransfer, SerialError::DeviceGone},
    {"UnpluggedFileGone", ERROR_FILE_NOT_FOUND, kTransfer, SerialError::DeviceGone},
    {"UnpluggedNoSuchDevice", 433, kTransfer, SerialError::DeviceGone},
    {"DriverCannot", ERROR_NOT_SUPPORTED, kTransfer, SerialError::NotSupported},
    {"Unknown", ERROR_NOT_ENOUGH_MEMORY, kTransfer, SerialError::Other},
};

class SerialErrorFromWin32Test : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SerialErrorFromWin32Test, Maps) {
    EXPECT_EQ(SerialErrorFromWin32(GetParam().code, GetParam().site), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Codes, SerialErrorFromWin32Test, ::testing::ValuesIn(kErrorCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(SystemErrorFromWin32, KeepsTheCodeAndTheSystemsTextWithoutLineBreak) {
    const SystemError denied = SystemErrorFromWin32(ERROR_ACCESS_DENIED);
    EXPECT_EQ(denied.code, ERROR_ACCESS_DENIED);
    ASSERT_FALSE(denied.text.empty());
    EXPECT_NE(denied.text.back(), '\n');
    EXPECT_NE(denied.text.back(), '\r');
    EXPECT_NE(denied.text.find("ccess"), std::string::npos) << denied.text;

    const SystemError unknown = SystemErrorFromWin32(0x2FFFFFFF);
    EXPECT_EQ(unknown.code, 0x2FFFFFFF);
    EXPECT_TRUE(unknown.text.empty()) << unknown.text;
}

} // namespace
} // namespace korvel::platform
