#pragma once
// The device variables the library reads and writes, by id.

#include <cstdint>

namespace kalvo_lorim {
namespace variable {

constexpr std::uint8_t kRecord = 3;
constexpr std::uint8_t kFactoryNumber = 4;
constexpr std::uint8_t kLanguage = 6;
constexpr std::uint8_t kLanguages = 7;
constexpr std::uint8_t kChangedParams = 8;
constexpr std::uint8_t kInstantValue = 9;
constexpr std::uint8_t kNotReadyNumber = 10;
constexpr std::uint8_t kNotReadyText = 11;
constexpr std::uint8_t kConfigurationDate = 12;
constexpr std::uint8_t kAssemblyDate = 13;
constexpr std::uint8_t kVolume = 14;
constexpr std::uint8_t kCurrentMeasure = 15;
constexpr std::uint8_t kCurrentValue = 16;
constexpr std::uint8_t kUnit = 17;
constexpr std::uint8_t kVariable18 = 18;
constexpr std::uint8_t kCurrentTime = 19;
constexpr std::uint8_t kCurrentUncertainty = 20;
constexpr std::uint8_t kCurrentAlgorithm = 21;
constexpr std::uint8_t kAlgorithmCount = 22;
constexpr std::uint8_t kParamCount = 23;
constexpr std::uint8_t kStatusWord = 24;
constexpr std::uint8_t kRestart = 25;
constexpr std::uint8_t kDeviceName = 27;
constexpr std::uint8_t kDeviceCode = 28;
constexpr std::uint8_t kOwnAddress = 29;
constexpr std::uint8_t kFirmware = 30;
constexpr std::uint8_t kDeviceDateTime = 31;
// Algorithm a has five variables from 32 + 5a: name, unit, value, time, uncertainty.
constexpr int kFirstAlgorithm = 32;
constexpr int kAlgorithmStride = 5;
// The time of algorithm 0, also the time of the current measure.
constexpr std::uint8_t kMeasureTime = 35;
// Dynamic parameter i: name 112 + 2i, value 113 + 2i.
constexpr int kFirstParamName = 112;
constexpr int kFirstParamValue = 113;
constexpr std::uint8_t kBusy = 248;
constexpr std::uint8_t kRowLevel = 249;
constexpr std::uint8_t kRowCount = 250;
constexpr std::uint8_t kRowSelect = 251;
constexpr std::uint8_t kVariable252 = 252;
constexpr std::uint8_t kRecordsCount = 253;
constexpr std::uint8_t kQuery = 254;

// Computed ids are bytes and wrap.
inline std::uint8_t Id(int n) { return static_cast<std::uint8_t>(n & 0xFF); }

}  // namespace variable
}  // namespace kalvo_lorim
