#include "tools/demo_profiles.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>

namespace demo {
namespace {

// Writes data-element text with indentation and counts the values.
class Writer {
 public:
  // key = <scalar>;  e.g. Scalar("Line_Number", "int 200")
  void Scalar(const std::string& key, const std::string& value) {
    Line(key + " = " + value + ";");
    ++m_nodes;
  }
  void Int(const std::string& key, long value) { Scalar(key, "int " + std::to_string(value)); }
  void UInt(const std::string& key, unsigned long value) { Scalar(key, "uint " + std::to_string(value)); }
  void Bool(const std::string& key, bool value) { Scalar(key, value ? "bool true" : "bool false"); }
  void Symbol(const std::string& key, const std::string& value) { Scalar(key, "symbol " + value); }
  void Float(const std::string& key, const char* value) { Scalar(key, std::string("float ") + value); }
  void String(const std::string& key, const std::string& value) { Scalar(key, "string " + Quote(value)); }
  void IRange(const std::string& key, long from, long to) {
    Scalar(key, "irange " + std::to_string(from) + " to " + std::to_string(to));
  }
  void FRange(const std::string& key, const char* from, const char* to) {
    Scalar(key, std::string("frange ") + from + " to " + to);
  }
  // key = array <kind> [items];  the items are written as given.  Items
  // that are arrays themselves hold innerNodes values between them.
  void Array(const std::string& key, const std::string& kind, const std::vector<std::string>& items,
             long innerNodes = 0) {
    std::string text = key + " = array " + kind + " [";
    for (size_t i = 0; i < items.size(); ++i) text += (i == 0 ? "" : ", ") + items[i];
    Line(text + "];");
    m_nodes += 1 + static_cast<long>(items.size()) + innerNodes;
  }
  // key = kvset { ... };
  void Set(const std::string& key, const std::function<void()>& body) {
    Line(key + " = kvset {");
    ++m_nodes;
    Nested(body);
    Line("};");
  }
  // key = array kvset [ {...}, ... ];  one body call per item.
  void SetArray(const std::string& key, int count, const std::function<void(int)>& body) {
    Line(key + " = array kvset [");
    ++m_nodes;
    ++m_indent;
    for (int i = 0; i < count; ++i) {
      Line("{");
      ++m_nodes;
      Nested([&] { body(i); });
      Line(i + 1 < count ? "}," : "}");
    }
    --m_indent;
    Line("];");
  }
  void Comment(const std::string& text) { Line("// " + text); }

  static std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    return out + "\"";
  }

  std::string Finish(const std::function<void()>& body) {
    m_text = "kvset {\n";
    m_nodes = 0;
    Nested(body);
    m_text += "}\n";
    return m_text;
  }
  long Nodes() const { return m_nodes; }

 private:
  void Nested(const std::function<void()>& body) {
    ++m_indent;
    body();
    --m_indent;
  }
  void Line(const std::string& text) {
    m_text.append(static_cast<size_t>(m_indent) * 2, ' ');
    m_text += text;
    m_text += '\n';
  }

  std::string m_text;
  long m_nodes = 0;
  int m_indent = 0;
};

// A small fixed pseudo-random sequence, so every demo is the same.
class Sequence {
 public:
  uint32_t Next() {
    m_state = m_state * 1664525u + 1013904223u;
    return m_state >> 8;
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint32_t m_state = 20240611u;
};

const char* const kFirstNames[] = {"Reception", "Sales", "Support", "Billing", "Warehouse", "Lab",
                                   "Board Room", "Lobby", "Dispatch", "Night Desk", "Training", "Helpdesk"};
const char* const kLineTypes[] = {"Line_Analog", "Line_Digital", "Line_SIP"};
const char* const kCodecs[] = {"Codec_G711A", "Codec_G711U", "Codec_G722", "Codec_G729", "Codec_Opus", "Codec_GSM"};
const char* const kGains[] = {"-6", "-3.5", "0", "1.5", "3", "4.25"};
const char* const kLanguages[] = {"en-GB", "nb-NO", "de-DE", "fr-FR", "sv-SE"};

template <size_t N>
const char* Pick(const char* const (&items)[N], uint32_t index) {
  return items[index % N];
}

// One extension line, as the Lines profiles hold them.
void WriteLine(Writer& w, Sequence& seq, int number) {
  w.Int("Line_Number", 200 + number);
  w.String("Line_Name", std::string(Pick(kFirstNames, static_cast<uint32_t>(number))) + " " + std::to_string(number));
  w.Symbol("Line_Type", Pick(kLineTypes, seq.Next()));
  w.UInt("Line_RingCount", 3 + seq.Below(5));
  w.Float("Line_Gain", Pick(kGains, seq.Next()));
  w.Bool("Line_CallerId", seq.Below(4) != 0);
  w.Array("Line_Extensions", "int",
          {std::to_string(2000 + number), std::to_string(3000 + number), std::to_string(4000 + number)});
  w.Array("Media_Codecs", "symbol", {Pick(kCodecs, seq.Next()), Pick(kCodecs, seq.Next())});
  w.IRange("Timer_RetryRange", 500, 2000 + static_cast<long>(seq.Below(8)) * 500);
  w.Set("VoiceMail_Box", [&] {
    w.Bool("VoiceMail_Enabled", seq.Below(3) != 0);
    w.String("VoiceMail_PIN", std::to_string(1000 + seq.Below(9000)));
    w.UInt("VoiceMail_MaxMessages", 20 + seq.Below(5) * 10);
    w.String("VoiceMail_Language", Pick(kLanguages, seq.Next()));
  });
}

DemoProfile Make(const char* name, const char* profileClass, const std::function<void(Writer&)>& body) {
  Writer w;
  DemoProfile p;
  p.name = name;
  p.profileClass = profileClass;
  p.text = w.Finish([&] { body(w); });
  p.nodes = w.Nodes();
  return p;
}

void WriteSiteOslo(Writer& w) {
  w.String("Profile_Description", "Head office switchboard: opening hours, media and call handling");
  w.String("Profile_Owner", "Telecom team");
  w.Int("Profile_Version", 7);
  w.Bool("Profile_Enabled", true);
  w.Set("Media_Codecs", [&] {
    w.Array("Media_Codecs", "symbol", {"Codec_G722", "Codec_G711A", "Codec_Opus"});
    w.UInt("Media_PacketTime", 20);
    w.IRange("Media_JitterBuffer", 40, 200);
    w.FRange("Media_VolumeRange", "-12.5", "6");
    w.Bool("Media_EchoCancel", true);
    w.Symbol("Media_DTMFMode", "DTMF_RFC2833");
  });
  w.Set("Timer_FirstDigit", [&] {
    w.UInt("Timer_FirstDigit", 8000);
    w.UInt("Timer_InterDigit", 4000);
    w.UInt("Timer_NoAnswer", 25000);
    w.UInt("Timer_SessionSeconds", 3600);
    w.IRange("Timer_RetryRange", 500, 4000);
  });
  w.Set("Call_Forward", [&] {
    w.String("Call_ForwardBusy", "+47 22 00 00 00");
    w.String("Call_ForwardNoAnswer", "VoiceMail_Reception");
    w.Bool("Call_Waiting", true);
    w.Bool("Call_Transfer", true);
    w.Bool("Call_Recording", false);
    w.UInt("Call_QueueSize", 12);
    w.Symbol("Call_Idle", "Call_Idle");
  });
}

// A Lines profile: lines numbered from firstLine, each with 20 values.
void WriteLines(Writer& w, const char* description, long maxCalls, int lines, int firstLine) {
  Sequence seq;
  w.String("Profile_Description", description);
  w.Int("Line_MaxCalls", maxCalls);
  w.SetArray("Line_Channels", lines, [&](int i) { WriteLine(w, seq, firstLine + i); });
}

void WriteTrunksMain(Writer& w) {
  w.String("Profile_Description", "Carrier trunks and the SIP provider");
  w.SetArray("Trunk_Group", 3, [&](int i) {
    static const char* const names[] = {"PRI-A", "PRI-B", "SIP-Provider"};
    static const char* const protocols[] = {"Trunk_ISDN_PRI", "Trunk_ISDN_PRI", "Trunk_Both"};
    w.String("Trunk_Name", names[i]);
    w.Symbol("Trunk_Protocol", i < 2 ? "Trunk_E1" : "Line_SIP");
    w.Symbol("Trunk_Direction", protocols[i]);
    w.UInt("Trunk_Channels", i < 2 ? 30 : 60);
    w.IRange("Trunk_ChannelRange", i * 30 + 1, i * 30 + 30);
    w.Bool("Trunk_ClockSource", i == 0);
    if (i == 2) {
      w.String("Trunk_Host", "sip.carrier.example.net");
      w.UInt("Trunk_Port", 5061);
    }
  });
  w.Array("Trunk_Inbound", "irange", {"1 to 30", "31 to 60", "61 to 120"});
  w.Array("Trunk_Outbound", "frange", {"0.5 to 1.5", "-3 to 3"});
  w.Array("Trunk_Both", "bool", {"true", "false", "true", "true"});
}

void WriteDialPlanMain(Writer& w) {
  w.String("DialPlan_Name", "National and emergency routing");
  w.SetArray("DialPlan_Rules", 6, [&](int i) {
    static const char* const patterns[] = {"112", "113", "110", "0047XXXXXXXX", "00X.", "2XXX"};
    static const char* const routes[] = {"PRI-A", "PRI-A", "PRI-A", "SIP-Provider", "SIP-Provider", "local"};
    w.String("DialPlan_Pattern", patterns[i]);
    w.String("DialPlan_Route", routes[i]);
    w.UInt("DialPlan_Priority", static_cast<unsigned long>(i + 1));
    w.Bool("DialPlan_Emergency", i < 3);
    w.Bool("DialPlan_International", i == 4);
    if (i >= 3) w.Int("DialPlan_StripDigits", i == 3 ? 4 : 2);
    if (i == 4) w.String("DialPlan_Prefix", "00");
  });
  w.Array("DialPlan_Priority", "uint", {"1", "2", "3", "10", "4294967295"});
}

void WriteSales(Writer& w) {
  w.Bool("VoiceMail_Enabled", true);
  w.String("VoiceMail_Greeting", "You have reached Sales. Please leave a message after the tone.");
  w.UInt("VoiceMail_MaxMessages", 100);
  w.UInt("VoiceMail_MaxSeconds", 180);
  w.Array("VoiceMail_EmailNotify", "string", {"\"sales@example.com\"", "\"lead@example.com\""});
  w.Array("VoiceMail_Language", "string", {"\"en-GB\"", "\"nb-NO\""});
}

// Every kind of value and array once, nested sets and arrays of arrays,
// an array of a code with no element kind and a key the table does not know.
void WriteEveryKind(Writer& w) {
  w.Comment("Scalars");
  w.Int("Line_Number", -42);
  w.UInt("Line_RingCount", 4000000000UL);
  w.Bool("Line_CallerId", false);
  w.Symbol("Line_Type", "Line_Digital");
  w.Float("Line_Gain", "0.1");
  w.IRange("Timer_RetryRange", -5, 5);
  w.FRange("Media_VolumeRange", "-0.25", "3.5");
  w.String("Line_Name", "Quotes \" and backslash \\ are kept");
  w.Comment("Arrays of every kind");
  w.Array("Line_Extensions", "int", {"1", "-2", "2147483647", "-2147483648"});
  w.Array("Trunk_Channels", "uint", {"0", "1", "4294967295"});
  w.Array("Call_Waiting", "bool", {"true", "false"});
  w.Array("Media_Codecs", "symbol", {"Codec_G711A", "Codec_G729"});
  w.Array("Timer_Hold", "float", {"1.5", "-0.125", "1e-07"});
  w.Array("Trunk_ChannelRange", "irange", {"0 to 10", "-10 to 0"});
  w.Array("Trunk_Outbound", "frange", {"0 to 1", "-1.5 to 1.5"});
  w.Array("VoiceMail_EmailNotify", "string", {"\"one\"", "\"two\"", "\"\""});
  w.Array("Media_PacketTime", "array", {"array int [10, 20, 30]", "array string [\"a\", \"b\"]", "array bool []"},
          5);
  w.Array("Call_Busy", "#67", {"1", "4294967295"});
  w.Array("Call_Queue", "string", {});
  w.SetArray("Line_Channels", 2, [&](int i) {
    w.Int("Line_Number", i);
    w.Set("VoiceMail_Box", [&] { w.Bool("VoiceMail_Enabled", i == 0); });
  });
  w.Comment("Nested sets");
  w.Set("Profile_Description", [&] {
    w.Set("Profile_Owner", [&] {
      w.Set("Profile_Version", [&] { w.String("Profile_Enabled", "three levels down"); });
    });
  });
  w.Int("#777", 7);
}

}  // namespace

std::vector<DemoProfile> DemoProfiles() {
  return {
      Make("Site_Oslo", "Setup", WriteSiteOslo),
      // Thirty lines: a few hundred values in all.
      Make("Lines_Main", "Lines", [](Writer& w) { WriteLines(w, "Extensions of the head office", 64, 30, 0); }),
      Make("Branch_Bergen", "Lines",
           [](Writer& w) { WriteLines(w, "Extensions of the Bergen branch", 16, 8, 100); }),
      Make("Trunks_Main", "Trunks", WriteTrunksMain),
      Make("DialPlan_Main", "DialPlan", WriteDialPlanMain),
      Make("Sales", "VoiceMail", WriteSales),
      Make("Every_Kind", "Test", WriteEveryKind),
      Make("Large_Exchange", "Lines",
           [](Writer& w) {
             WriteLines(w, "A large exchange, to show the editor at speed", 5000,
                        static_cast<int>(kLargeProfileNodes / 20), 0);
           }),
  };
}

}  // namespace demo
