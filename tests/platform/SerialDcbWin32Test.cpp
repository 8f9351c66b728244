#include "platform/SerialDcb_win.h"

#include <functional>
#include <ostream>

#include <gtest/gtest.h>

namespace korvel::platform {
namespace {

namespace flag = line_flag;

// Every field of the control block as plain numbers, so a mismatch prints.
struct Fields {
    DWORD length, baud, binary, parity, ctsFlow, dsrFlow, dtr, dsrSensitivity, txContinue, outX,
        inX, errorChar, null, rts, abortOnError;
    WORD xonLimit, xoffLimit;
    BYTE byteSize, parityScheme, stopBits;
    int xonChar, xoffChar, errorCharValue, eofChar, evtChar;
    bool operator==(const Fields&) const = default;
};

Fields FieldsOf(const DCB& d) {
    return {d.DCBlength,
            d.BaudRate,
            d.fBinary,
            d.fParity,
            d.fOutxCtsFlow,
            d.fOutxDsrFlow,
            d.fDtrControl,
            d.fDsrSensitivity,
            d.fTXContinueOnXoff,
            d.fOutX,
            d.fInX,
            d.fErrorChar,
            d.fNull,
            d.fRtsControl,
            d.fAbortOnError,
            d.XonLim,
            d.XoffLim,
            d.ByteSize,
            d.Parity,
            d.StopBits,
            static_cast<unsigned char>(d.XonChar),
            static_cast<unsigned char>(d.XoffChar),
            static_cast<unsigned char>(d.ErrorChar),
            static_cast<unsigned char>(d.EofChar),
            static_cast<unsigned char>(d.EvtChar)};
}

void PrintTo(const Fields& f, std::ostream* os) {
    *os << "{baud " << f.baud << " binary " << f.binary << " parity " << f.parity << " cts "
        << f.ctsFlow << " dsr " << f.dsrFlow << " dtr " << f.dtr << " dsrSens " << f.dsrSensitivity
        << " txCont " << f.txContinue << " outX " << f.outX << " inX " << f.inX << " errChar "
        << f.errorChar << " null " << f.null << " rts " << f.rts << " abort " << f.abortOnError
        << " xonLim " << f.xonLimit << " xoffLim " << f.xoffLimit << " size " << int{f.byteSize}
        << " parityScheme " << int{f.parityScheme} << " stop " << int{f.stopBits} << " xon "
        << f.xonChar << " xoff " << f.xoffChar << " err " << f.errorCharValue << " eof "
        << f.eofChar << " evt " << f.evtChar << "}";
}

constexpr DWORD kLength = sizeof(DCB);

struct DcbCase {
    const char* name;
    LineSettings settings;
    Fields expected;
};

void PrintTo(const DcbCase& c, std::ostream* os) {
    *os << c.name;
}

// The window's stored values: 9600 8N1, DTR and RTS asserted, no flow control.
constexpr std::uint32_t kWindowFlags = flag::kBinary | (1u << flag::kDtrControlShift) |
                                       flag::kTxContinueOnXoff | (1u << flag::kRtsControlShift);

const DcbCase kDcbCases[] = {
    {"TheWindowsLine",
     {9600, kWindowFlags, 500, 500, 8, 0, 0, 0x11, 0x13, 0},
     {kLength, 9600, 1,   0, 0,        0,          DTR_CONTROL_ENABLE,
      0,       1,    0,   0, 0,        0,          RTS_CONTROL_ENABLE,
      0,       500,  500, 8, NOPARITY, ONESTOPBIT, 0x11,
      0x13,    0,    0,   0}},
    // The flag word without kBinary still gives binary mode: Windows has no other.
    {"EveryFlagOff",
     {115200, 0, 0, 0, 8, 0, 0, 0x11, 0x13, 0},
     {kLength, 115200, 1, 0, 0,        0,          DTR_CONTROL_DISABLE,
      0,       0,      0, 0, 0,        0,          RTS_CONTROL_DISABLE,
      0,       0,      0, 8, NOPARITY, ONESTOPBIT, 0x11,
      0x13,    0,      0, 0}},
    {"HandshakesAndSoftwareFlowControl",
     {19200,
      flag::kBinary | flag::kParity | flag::kOutxCtsFlow | flag::kOutxDsrFlow |
          (2u << flag::kDtrControlShift) | flag::kDsrSensitivity | flag::kOutX | flag::kInX |
          flag::kErrorChar | flag::kNull | (2u << flag::kRtsControlShift),
      100, 300, 7, 2, 2, 0x01, 0x02, 0x3F},
     {kLength, 19200, 1,   1, 1,          1,           DTR_CONTROL_HANDSHAKE,
      1,       0,     1,   1, 1,          1,           RTS_CONTROL_HANDSHAKE,
      0,       100,   300, 7, EVENPARITY, TWOSTOPBITS, 0x01,
      0x02,    0x3F,  0,   0}},
    {"RtsToggleAndOddFraming",
     {1200, flag::kBinary | (3u << flag::kRtsControlShift), 0, 0, 5, 1, 1, 0x11, 0x13, 0xFF},
     {kLength,
      1200,
      1,
      0,
      0,
      0,
      DTR_CONTROL_DISABLE,
      0,
      0,
      0,
      0,
      0,
      0,
      RTS_CONTROL_TOGGLE,
      0,
      0,
      0,
      5,
      ODDPARITY,
      ONE5STOPBITS,
      0x11,
      0x13,
      0xFF,
      0,
      0}},
};

class BuildDcbTest : public ::testing::TestWithParam<DcbCase> {};

TEST_P(BuildDcbTest, SetsEveryField) {
    EXPECT_EQ(FieldsOf(BuildDcb(GetParam().settings)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Settings, BuildDcbTest, ::testing::ValuesIn(kDcbCases),
                         [](const auto& row) { return std::string(row.param.name); });

// Each flag alone turns on its own field and no other: a bit wired to the
// wrong field would pass a table whose rows happen to agree.
struct FlagCase {
    const char* name;
    std::uint32_t flag;
    std::function<DWORD(const DCB&)> field;
};

TEST(BuildDcb, EachFlagReachesOnlyItsField) {
    const FlagCase cases[] = {
        {"fParity", flag::kParity, [](const DCB& d) { return DWORD{d.fParity}; }},
        {"fOutxCtsFlow", flag::kOutxCtsFlow, [](const DCB& d) { return DWORD{d.fOutxCtsFlow}; }},
        {"fOutxDsrFlow", flag::kOutxDsrFlow, [](const DCB& d) { return DWORD{d.fOutxDsrFlow}; }},
        {"fDsrSensitivity", flag::kDsrSensitivity,
         [](const DCB& d) { return DWORD{d.fDsrSensitivity}; }},
        {"fTXContinueOnXoff", flag::kTxContinueOnXoff,
         [](const DCB& d) { return DWORD{d.fTXContinueOnXoff}; }},
        {"fOutX", flag::kOutX, [](const DCB& d) { return DWORD{d.fOutX}; }},
        {"fInX", flag::kInX, [](const DCB& d) { return DWORD{d.fInX}; }},
        {"fErrorChar", flag::kErrorChar, [](const DCB& d) { return DWORD{d.fErrorChar}; }},
        {"fNull", flag::kNull, [](const DCB& d) { return DWORD{d.fNull}; }},
    };
    LineSettings none;
    none.flags = 0;
    const Fields off = FieldsOf(BuildDcb(none));
    for (const FlagCase& c : cases) {
        LineSettings one = none;
        one.flags = c.flag;
        const DCB built = BuildDcb(one);
        EXPECT_EQ(c.field(built), 1u) << c.name;
        for (const FlagCase& other : cases) {
            if (&other != &c) {
                EXPECT_EQ(other.field(built), 0u) << c.name << " also set " << other.name;
            }
        }
        EXPECT_EQ(FieldsOf(built).dtr, off.dtr) << c.name;
        EXPECT_EQ(FieldsOf(built).rts, off.rts) << c.name;
    }
}

TEST(BuildCommTimeouts, CarriesEachTimeoutToItsField) {
    const COMMTIMEOUTS window = BuildCommTimeouts({200, 0, 0, 0, 0});
    EXPECT_EQ(window.ReadIntervalTimeout, 200u);
    EXPECT_EQ(window.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(window.ReadTotalTimeoutConstant, 0u);

    const COMMTIMEOUTS distinct = BuildCommTimeouts({1, 2, 3, 4, 5});
    EXPECT_EQ(distinct.ReadIntervalTimeout, 1u);
    EXPECT_EQ(distinct.ReadTotalTimeoutMultiplier, 2u);
    EXPECT_EQ(distinct.ReadTotalTimeoutConstant, 3u);
    EXPECT_EQ(distinct.WriteTotalTimeoutMultiplier, 4u);
    EXPECT_EQ(distinct.WriteTotalTimeoutConstant, 5u);
}

} // namespace
} // namespace korvel::platform
