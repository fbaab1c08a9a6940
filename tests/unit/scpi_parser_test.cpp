#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/scpi/header_pattern.h"
#include "sim/scpi/parameters.h"
#include "sim/scpi/scpi_parser.h"

namespace tevra::sim::scpi {
namespace {

// A command as text: ":" between mnemonics (suffixes as written), "?" for queries, "*" for common
// commands, "!" for absolute headers, then " " and the parameters as kind letter and text, "|" between.
std::string describe(const Command& command) {
  std::string text = command.common ? "*" : command.absolute ? "!" : "";
  for (size_t i = 0; i < command.header.size(); ++i) {
    if (i > 0) text += ":";
    text += command.header[i].name;
    if (command.header[i].suffix) text += std::to_string(*command.header[i].suffix);
  }
  if (command.query) text += "?";
  for (size_t i = 0; i < command.parameters.size(); ++i) {
    const Parameter& p = command.parameters[i];
    text += i == 0 ? " " : "|";
    static constexpr char kKinds[] = {'N', 'C', 'S', 'B'};
    text += kKinds[static_cast<int>(p.kind)];
    text += p.kind == ParameterKind::kBlock ? std::string(p.block) : p.text;
    if (!p.unit.empty()) text += "/" + p.unit;
  }
  return text;
}

TEST(ScpiParserTest, SplitsMessagesIntoCommandsWithTypedParameters) {
  struct Case {
    std::string message;
    std::vector<std::string> commands;
    int error;
  } cases[] = {
      {"*idn?", {"*IDN?"}, 0},
      {":SOURce:FREQuency:FIXed 2437.5MHz", {"!SOURCE:FREQUENCY:FIXED N2437.5/MHZ"}, 0},
      {"sour:freq 1 GHz", {"SOUR:FREQ N1/GHZ"}, 0},
      {":SOUR:POW -10.000000", {"!SOUR:POW N-10.000000"}, 0},
      {"POW +1.5e-3;FREQ .5", {"POW N+1.5e-3", "FREQ N.5"}, 0},
      {"ROUT:PORT:REF2 ON", {"ROUT:PORT:REF2 CON"}, 0},
      {"DIAG:HW:MB:MUX:TFW 17,HIGH", {"DIAG:HW:MB:MUX:TFW N17|CHIGH"}, 0},
      {":SOURce:RADio:ARB:WAVEform \"SEQ:a;b\"", {"!SOURCE:RADIO:ARB:WAVEFORM SSEQ:a;b"}, 0},
      {"X 'it''s', \"say \"\"hi\"\"\"", {"X Sit's|Ssay \"hi\""}, 0},
      {"MMEM:DATA \"f\",#15a;b\nc;*OPC?", {"MMEM:DATA Sf|Ba;b\nc", "*OPC?"}, 0},
      {"MMEM:DATA \"f\",#0raw;bytes", {"MMEM:DATA Sf|Braw;bytes"}, 0},
      {"  *RST ; ;*CLS;", {"*RST", "*CLS"}, 0},
      {"SYST:ERR?\r", {"SYST:ERR?"}, 0},
      {"", {}, 0},
      {"*RST;:FOO BAR$", {"*RST"}, -102},
      {"FOO:", {}, -102},
      {"FOO::BAR", {}, -102},
      {"*IDN?X", {}, -102},
      {"A 1,,2", {}, -109},
      {"A 1 2", {}, -102},
      {"A \"open", {}, -151},
      {"A #3", {}, -161},
      {"A #15ab", {}, -161},
      {"A #2x1abc", {}, -161},
      {"A 1.2.3", {}, -120},
      {"A -", {}, -120},
      {"A 1e", {"A N1/E"}, 0},
      {"REF1234567890 1", {}, -114},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    ParsedMessage parsed = parseMessage(c.message);
    std::vector<std::string> described;
    for (const auto& command : parsed.commands) described.push_back(describe(command));
    EXPECT_EQ(described, c.commands);
    EXPECT_EQ(parsed.error ? parsed.error->code : 0, c.error);
  }
}

TEST(ScpiParserTest, HeaderPatternsMatchShortAndLongFormsAndOptionalNodes) {
  struct Case {
    const char* pattern;
    const char* message;
    bool matches;
    std::vector<int> suffixes;
  } cases[] = {
      {"[SOURce]:FREQuency[:FIXed]", "SOUR:FREQ:FIX 1", true, {}},
      {"[SOURce]:FREQuency[:FIXed]", "source:frequency:fixed 1", true, {}},
      {"[SOURce]:FREQuency[:FIXed]", "FREQ 1", true, {}},
      {"[SOURce]:FREQuency[:FIXed]", "SOURC:FREQ 1", false, {}},
      {"[SOURce]:FREQuency[:FIXed]", "SOUR:FREQ:FIX:FIX 1", false, {}},
      {"[SOURce]:POWer[:LEVel][:IMMediate][:AMPLitude]", "SOUR:POW:AMPL -3", true, {}},
      {"[SOURce]:POWer[:LEVel][:IMMediate][:AMPLitude]", "POW:LEV:IMM:AMPL -3", true, {}},
      {"[SOURce]:POWer[:LEVel][:IMMediate][:AMPLitude]", "POW:IMM:LEV -3", false, {}},
      {"ROUTe:PORT:REFerence#[:STATe]", "ROUT:PORT:REF3 ON", true, {3}},
      {"ROUTe:PORT:REFerence#[:STATe]", "ROUTE:PORT:REFERENCE:STAT ON", true, {1}},
      {"SYSTem:ERRor[:NEXT]", "SYST:ERR?", true, {}},
      {"SYSTem:ERRor[:NEXT]", "SYST2:ERR?", false, {}},
      {"*IDN", "*IDN?", true, {}},
      {"*IDN", "IDN?", false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " / " + c.message);
    ParsedMessage parsed = parseMessage(c.message);
    ASSERT_EQ(parsed.commands.size(), 1u);
    auto suffixes = HeaderPattern(c.pattern).match(parsed.commands[0].common, parsed.commands[0].header);
    ASSERT_EQ(suffixes.has_value(), c.matches);
    if (suffixes) {
      EXPECT_EQ(*suffixes, c.suffixes);
    }
  }
}

TEST(ScpiParserTest, ParametersConvertWithTheirUnitsOrRaiseTheirErrors) {
  struct Case {
    const char* parameter;
    double hertz;  // 0: conversion fails with `error`
    int error;
  } cases[] = {
      {"2412MHz", 2.412e9, 0}, {"2.4GHZ", 2.4e9, 0}, {"100 kHz", 1e5, 0}, {"40e6", 40e6, 0},
      {"5hz", 5, 0},           {"3 dBm", 0, -131},   {"ON", 0, -104},     {"\"1\"", 0, -104},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.parameter);
    ParsedMessage parsed = parseMessage(std::string("X ") + c.parameter);
    ASSERT_EQ(parsed.commands.size(), 1u);
    const Parameter& p = parsed.commands[0].parameters.at(0);
    if (c.error == 0) {
      EXPECT_DOUBLE_EQ(toNumber(p, kFrequencyUnits), c.hertz);
    } else {
      try {
        toNumber(p, kFrequencyUnits);
        ADD_FAILURE() << "no error";
      } catch (const ScpiError& error) {
        EXPECT_EQ(error.code, c.error);
      }
    }
  }
  auto first = [](const char* text) {
    return parseMessage(std::string("X ") + text).commands.at(0).parameters.at(0);
  };
  EXPECT_TRUE(toBoolean(first("ON")));
  EXPECT_FALSE(toBoolean(first("0")));
  EXPECT_TRUE(toBoolean(first("1")));
  EXPECT_EQ(toChoice(first("sing"), {"CONTinuous", "SINGle"}), 1u);
  EXPECT_EQ(toChoice(first("CONTINUOUS"), {"CONTinuous", "SINGle"}), 0u);
  EXPECT_THROW(toChoice(first("SINGL"), {"CONTinuous", "SINGle"}), ScpiError);
  EXPECT_THROW(toInt(first("1e12")), ScpiError);
  EXPECT_EQ(formatBlock(std::string("a\nb", 3)), "#13a\nb");
  EXPECT_EQ(formatString("say \"hi\""), "\"say \"\"hi\"\"\"");
}

}  // namespace
}  // namespace tevra::sim::scpi
