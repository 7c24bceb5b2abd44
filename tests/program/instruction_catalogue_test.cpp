#include "program/instruction_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "program/program_document.h"

namespace halvern {
namespace {

std::string joined(const ProgramNode& node) {
  std::string s = node.text;
  for (const auto& child : node.children) s += "|" + child;
  return s;
}

// Every instruction inserted with its defaults, as its lines read in the tree.
TEST(InstructionCatalogue, DefaultLinesOfEveryInstruction) {
  const char* const expected[] = {
      "PGM END",
      "ALARM|sloc= 001|set1= 0.00000|set2= 0.00000|delay= 000|span= EXCL|sw= 1",
      "AVERAGE|sloc= 001|dloc= 001|type= BLOCK    |#samp= 0000",
      "BEEP|num= 1",
      "CHANGE TO SCREEN|sloc= 001",
      "DELAY|msec= 0001",
      "DISPLAY FLAGS|scrn= 1|font= SMALL|row= 1|col= 01|format= BIN",
      "DISPLAY NESW|sloc= 001|scrn= 1|font= SMALL|row= 1|col= 01",
      "DISPLAY TEXT|scrn= 1|row= 1|col= 01|text= |font= SMALL",
      "DISPLAY TIME|scrn= 1|font= SMALL|row= 1|col= 01",
      "DISPLAY VALUE|sloc= 001|scrn= 1|font= SMALL|row= 1|col= 01|width= 7|decpt= 0",
      "ELSE",
      "END IF",
      "FLAG SET|flag#= 01|state= OFF",
      "FLAG SET MASK|mask= 0000|state= OFF",
      "FLAG TIME INTERVAL|unit= SEC|time= 0000|flag#= 01|state= OFF",
      "IF FLAG|flag#= 01|state= OFF",
      "IF FLAG MASK|mask= 0000|logic= ANY|state= OFF",
      "IF KEYSWITCH|key= KEY1",
      "IF LOC1 COMPARE LOC2|sloc1= 001|comp: < |sloc2= 001",
      "IF LOC COMPARE VAL|sloc= 001|comp: < |val= 0.00000",
      "IF LOC SPAN|sloc= 001|set1= 0.00000|set2= 0.00000|delay= 00|span= EXCL",
      "IF TIME INTERVAL|unit= SEC|time= 0000",
      "INPUT FREQ|chan= 1|type= LOW-AC|mult= 1.00000|offs= 0.00000|dloc= 001",
      "INPUT PRECIP (TIPPING BUCKET)|chan= 1|reso= 0.10000|mult= 1.00000|dloc= 001",
      "INPUT PRECIP (SIPHON)|chan= 01|type= DIFF|unit= MM  |mult= 1.00000|offs= 0.00000|dloc= 001",
      "INPUT SERIAL NMEA|chan= COM2|header= WIMWV|#flds= 01|wait= 1000|dloc1= 001",
      "INPUT SERIAL NUM|chan= COM2|#flds= 01|delim= SPACE|endchr= CR  |wait= 0100|dloc1= 001",
      "INPUT SERIAL ZLKT|chan= COM2|units= M/S |wait= 1000|dloc1= 001",
      "INPUT (reserved)",
      "INPUT VOLTAGE|chan= 01|type= DIFF|mult= 1.00000|offs= 0.00000|rate= 4800Hz |dloc= 001",
      "INPUT WIND DIR (VOLTAGE)|chan= 01|sensor= A1xxx|dloc= 001",
      "INPUT WIND SPEED (FREQ)|chan= 1|sensor= A1xxx|units= M/S |dloc= 001",
      "LOC1 = LOC2|loc1= 001|loc2= 001",
      "LOC = VALUE|loc= 001|val= 0.00000",
      "LOC1 = LOC2 OPER LOC3|loc1= 001|loc2= 001|oper: +  |loc3= 001",
      "LOC1 = LOC2 OPER VALUE|loc1= 001|loc2= 001|oper: +  |val= 0.00000",
      "LOC1 = FUNCTION(LOC2)|loc1= 001|func= ABS    |loc2= 001",
      "MAXIMUM|sloc= 001|dloc1= 001|type= BLOCK |#samp= 0000",
      "MINIMUM|sloc= 001|dloc1= 001|type= BLOCK |#samp= 0000",
      "OUTPUT MILLIAMPS|sloc= 001|chan= 01|mult= 1.00000|offs= 0.00000",
      "OUTPUT MILLIVOLTS|sloc= 001|chan= 01|mult= 1.00000|offs= 0.00000",
      "OUTPUT SWITCH|chan= 1|state= OFF",
      "RECORD TIME|frmt= DATE",
      "RECORD VALUE|sloc= 001",
      "SERIAL BUFFER CHECKSUM|type= SIMPLE",
      "SERIAL BUFFER NESW|sloc= 001|delim= SPACE",
      "SERIAL BUFFER OUT|chan= COM2|endchr= CR  |delay= 00",
      "SERIAL BUFFER TEXT|text= ",
      "SERIAL BUFFER TIME|frmt= DATE|delim= SPACE",
      "SERIAL BUFFER VALUE|loc= 001|width= 7|decpt= 0|delim= SPACE",
      "STANDARD DEVIATION|sloc= 001|dloc= 001|type= BLOCK    |#samp= 0000",
      "WIND DIRECTION 0-540|sloc= 001|dloc= 001",
  };
  ASSERT_EQ(std::size(expected), InstructionCatalogue::kCount);
  EXPECT_EQ(joined(ProgramDocument().tree()[0]), expected[0]);
  for (std::uint16_t opcode = 1; opcode <= InstructionCatalogue::kLastOpcode; ++opcode) {
    ProgramDocument document;
    ASSERT_EQ(document.insertInstruction(0, opcode), ProgramDocument::Edit::Done);
    EXPECT_EQ(joined(document.tree()[0]), expected[opcode]) << "opcode " << opcode;
    // Lines made from the record's stored values read the same as those made on insert.
    EXPECT_EQ(ProgramDocument::storedNode(document.store()[0]), document.tree()[0]);
  }
}

// The help of an instruction says what its parameters take, from the same catalogue the editor
// uses; every instruction has one line a parameter.
TEST(InstructionCatalogue, HelpOfEveryInstructionFromTheCatalogue) {
  EXPECT_EQ(
      instructionHelp(InstructionCatalogue::instruction(1)),
      (std::vector<std::string>{
          "ALARM", "sloc= whole number, 0 to 999, default 001",
          "set1= decimal number of up to 7 characters (digits, \"-\", \".\"), default 0.00000",
          "set2= decimal number of up to 7 characters (digits, \"-\", \".\"), default 0.00000",
          "delay= whole number, 0 to 999, default 000", "span= one of: EXCL, INCL; default EXCL",
          "sw= whole number, 0 to 9, default 1"}));
  EXPECT_EQ(instructionHelp(InstructionCatalogue::instruction(11)),
            (std::vector<std::string>{"ELSE", "No parameters."}));
  for (const InstructionDef& def : InstructionCatalogue::all()) {
    const auto help = instructionHelp(def);
    ASSERT_EQ(help.size(), 1 + std::max<std::size_t>(def.params().size(), 1)) << def.name;
    for (std::size_t j = 0; j < def.params().size(); ++j) {
      EXPECT_EQ(help[j + 1].rfind(std::string(def.params()[j].label), 0), 0u) << def.name;
      EXPECT_NE(help[j + 1].find("default"), std::string::npos) << help[j + 1];
    }
  }
}

TEST(InstructionCatalogue, PickListIsOpcodesOneToFiftyTwo) {
  auto pick = InstructionCatalogue::pickList();
  ASSERT_EQ(pick.size(), 52u);
  EXPECT_EQ(pick.front().name, "ALARM");
  EXPECT_EQ(pick.back().name, "WIND DIRECTION 0-540");
}

TEST(InstructionCatalogue, ValueListsArePaddedWithinEachList) {
  std::size_t lists = 0;
  for (std::uint8_t kind = 0; kind < 40; ++kind) {
    auto entries = InstructionCatalogue::valueList(kind);
    if (kind < kFirstListKind || kind > kLastListKind) {
      EXPECT_TRUE(entries.empty()) << int(kind);
      continue;
    }
    ++lists;
    ASSERT_GE(entries.size(), 2u) << int(kind);
    // List 20, which no instruction uses, is tabled without padding.
    if (kind == 20) continue;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      // The two entries added last to list 17 are one character longer than the others.
      const std::size_t width = entries[0].size() + (kind == 17 && i >= 12 ? 1 : 0);
      EXPECT_EQ(entries[i].size(), width) << int(kind) << " entry " << i;
    }
  }
  EXPECT_EQ(lists, 30u);
  EXPECT_EQ(InstructionCatalogue::valueList(17).size(), 14u);
  EXPECT_EQ(InstructionCatalogue::valueList(21).size(), 10u);
  // The display's own degree byte, stored and shown unchanged.
  auto degrees = InstructionCatalogue::valueList(11);
  EXPECT_EQ(degrees[0], "\xDF" + std::string("C     "));
  EXPECT_EQ(degrees[1], "\xDF" + std::string("F     "));
  EXPECT_EQ(degrees[2], "special");
}

TEST(InstructionCatalogue, LinesByHowTheyAreMade) {
  const ParamDef& sloc = InstructionCatalogue::instruction(1).parameters[0];   // integer 3
  const ParamDef& set1 = InstructionCatalogue::instruction(1).parameters[1];   // decimal 7
  const ParamDef& text = InstructionCatalogue::instruction(8).parameters[3];   // text 25
  const ParamDef& mask = InstructionCatalogue::instruction(14).parameters[0];  // hex 4
  const ParamDef& unit = InstructionCatalogue::instruction(15).parameters[0];  // list 6

  ProgramRecord record;
  record.setIntValue(0, 42);
  record.setValueText(0, "42");
  record.setFloatValue(1, 2.5f);
  record.setValueText(1, "2.5");
  record.setText("20~C");
  record.setIntValue(4, 0xBEEF);
  record.setIntValue(5, 1);

  const std::string degrees = "20\xB0" + std::string("C");  // as typed and shown
  struct Case {
    const ParamDef& param;
    std::size_t j;
    std::string stored, received, edited;
    std::string typed;
  } cases[] = {
      {sloc, 0, "sloc= 042", "sloc= 42", "sloc= 042", ""},
      {set1, 1, "set1= 2.50000", "set1= 2.5", "set1= 2.5x", "2.5x"},
      {text, 3, "text= 20~C", "text= " + degrees, "text= " + degrees + std::string(21, ' '),
       degrees},
      {mask, 4, "mask= BEEF", "mask= BEEF", "mask= BEEF", ""},
      {unit, 5, "unit= MIN", "unit= MIN", "unit= MIN", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(storedParameterLine(c.param, record, c.j), c.stored);
    EXPECT_EQ(receivedParameterLine(c.param, record, c.j), c.received);
    EXPECT_EQ(editedParameterLine(c.param, record, c.j, c.typed), c.edited);
  }
  EXPECT_EQ(degreesStored(degrees), "20~C");
}

TEST(ProgramRecord, FieldsKeepTheirOffsetsAndBounds) {
  ProgramRecord record;
  record.setOpcode(0x1234);
  record.setIntValue(6, -2);
  record.setFloatValue(0, 1.0f);
  record.setValueText(6, "123456789");
  record.setText(std::string(50, 'x'));
  const auto& b = record.bytes();
  EXPECT_EQ(b[0], 0x34);
  EXPECT_EQ(b[1], 0x12);
  EXPECT_EQ(b[74], 0xFE);
  EXPECT_EQ(b[77], 0xFF);
  // 1.0f least significant byte first.
  EXPECT_EQ(b[2], 0x00);
  EXPECT_EQ(b[5], 0x3F);
  EXPECT_EQ(record.valueText(6), "1234567");
  EXPECT_EQ(b[85], 0);
  EXPECT_EQ(record.text(), std::string(41, 'x'));
  EXPECT_EQ(b[127], 0);
  // A field without its NUL is read only up to its end.
  record.bytes()[85] = 'z';
  EXPECT_EQ(record.valueText(6), "1234567z");
}

}  // namespace
}  // namespace halvern
