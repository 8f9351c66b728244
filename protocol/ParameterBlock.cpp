#include "protocol/ParameterBlock.h"

namespace korvel::protocol {

namespace {

struct ThresholdInfo {
    std::size_t offset;
    std::string_view name;
    std::string_view key;
};

constexpr std::array<ThresholdInfo, kThresholdCount> kThresholds = {{
    {offset::kTemperatureL1, "Temperature L1", "temperature_low_1"},
    {offset::kTemperatureL2, "Temperature L2", "temperature_low_2"},
    {offset::kTemperatureH1, "Temperature H1", "temperature_high_1"},
    {offset::kTemperatureH2, "Temperature H2", "temperature_high_2"},
    {offset::kTemperatureH3, "Temperature H3", "temperature_high_3"},
    {offset::kHumidityL1, "Humidity L1", "humidity_low_1"},
    {offset::kHumidityH1, "Humidity H1", "humidity_high_1"},
}};

} // namespace

std::size_t ThresholdOffset(Threshold threshold) {
    return kThresholds.at(Index(threshold)).offset;
}

std::string_view ThresholdName(Threshold threshold) {
    return kThresholds.at(Index(threshold)).name;
}

std::string_view ThresholdKey(Threshold threshold) {
    return kThresholds.at(Index(threshold)).key;
}

} // namespace korvel::protocol
