#pragma once
// Byte offsets and bit numbers of the configuration image. Every module of the program names image
// bytes through these constants.

#include <cstddef>

namespace lumeq::img {

// Byte 0: function flags.
constexpr std::size_t Flags = 0;
constexpr unsigned FlagDali = 0;        // control output is DALI
constexpr unsigned FlagLinearOrPwm = 1; // DALI: linear (else logarithmic); not DALI: PWM (else 1-10V)
constexpr unsigned FlagAstro = 2;       // astro clock with ISD and dimming engine 1
constexpr unsigned FlagLst = 3;         // control input LSt with dimming engine 2
constexpr unsigned FlagLstHighLow = 4;  // LSt polarity "High->Low"
constexpr unsigned FlagRemoteMains = 5; // remote control fed from the mains input
constexpr unsigned FlagRemoteLst = 6;   // remote control fed from the LSt input
constexpr unsigned FlagThermal = 7;     // thermal management

constexpr std::size_t BlockTime = 1; // units of 5 s, 0 = off
constexpr std::size_t MinLevel = 2;
constexpr std::size_t PowerOnLevel = 3;
constexpr std::size_t PowerOnDelay = 4; // time code (s), 0xFF = random
constexpr std::size_t PowerOnFade = 5;  // time code (ms per %)
constexpr std::size_t HoldTime = 6;     // time code (s), 0 = off
constexpr std::size_t IsdOffset = 7;    // signed, units of 2 minutes

// Step tables: ten steps of three bytes; a level byte of 0xFF marks an empty step.
constexpr std::size_t StepCount = 10;
constexpr std::size_t StepSize = 3;
constexpr std::size_t Engine2 = 8;  // delay (time code s), fade (time code ms), level
constexpr std::size_t Engine1 = 38; // time of day, fade (time code ms), level
constexpr std::size_t StepTime = 0; // offsets inside a step
constexpr std::size_t StepFade = 1;
constexpr std::size_t StepLevel = 2;
constexpr std::size_t Engine2FirstLevel = Engine2 + StepLevel; // byte 10
constexpr std::size_t Engine1FirstLevel = Engine1 + StepLevel; // byte 40
constexpr unsigned LevelRelayOff = 7;                          // bit 7 of a step level byte and of thermal level L1
constexpr unsigned char EmptyStep = 0xFF;

// Byte 68: option flags.
constexpr std::size_t Options = 68;
constexpr unsigned OptDstOff = 0;
constexpr unsigned OptDelayedSwitching = 1;
constexpr unsigned OptStorePol = 2;
constexpr unsigned OptMffReset = 3;
constexpr unsigned char RemoteModeMask = 0xF0;

constexpr std::size_t MffStart = 69;
constexpr std::size_t MffL1 = 70;
constexpr std::size_t MffL2 = 71;
constexpr std::size_t MffL3 = 72;
constexpr std::size_t MffStop = 73;
constexpr std::size_t MffBurnIn = 74;
constexpr std::size_t MffLifetime = 75; // units of 500 h, 0 = off

constexpr std::size_t AstroData = 76; // nine bytes no editor changes
constexpr std::size_t AstroDataCount = 9;
constexpr std::size_t Reserved85 = 85;
constexpr std::size_t DstStartNight = 86; // units of 5 minutes, 0 = automatic DST off
constexpr std::size_t DstEndNight = 87;
constexpr std::size_t Relay = 88;
constexpr unsigned RelayZeroCross = 0;

constexpr std::size_t ThermT1 = 89;
constexpr std::size_t ThermL1 = 90;
constexpr std::size_t ThermT2 = 91;
constexpr std::size_t ThermL2 = 92;
constexpr std::size_t ThermT3 = 93;
constexpr std::size_t ThermL3 = 94;
constexpr std::size_t ThermEnd = 95; // always 0xFF

constexpr std::size_t Spare = 96; // 96..127: never written to modules or files

} // namespace lumeq::img
