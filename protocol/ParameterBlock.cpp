#include "protocol/ParameterBlock.h"

namespace korvel::protocol {

namespace {

struct ThresholdInfo {
    std::size_t offset;
    std::string_view name;
};

constexpr std::array<ThresholdInfo, kThresholdCount> kThresholds = {{
    {offset::kTemperatureL1, "Temperature L1"},
    {offset::kTemperatureL2, "Temperature L2"},
    {offset::kTemperatureH1, "Temperature H1"},
    {offset::kTemperatureH2, "Temperature H2"},
    {offset::kTemperatureH3, "Temperature H3"},
    {offset::kHumidityL1, "Humidity L1"},
    {offset::kHumidityH1, "Humidity H1"},
}};

} // namespace

std::size_t ThresholdOffset(Threshold threshold) {
    return kThresholds.at(Index(threshold)).offset;
}

std::string_view ThresholdName(Threshold threshold) {
    return kThresholds.at(Index(threshold)).name;
}

} // namespace korvel::protocol
