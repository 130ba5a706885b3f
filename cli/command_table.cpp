#include "cli/command_table.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "cli/text_format.h"
#include "companions/base/tr.h"

namespace {

using T = OptionType;

const CommandRow kCommands[] = {
    {"new", "create a new animation from the preferences and save it as a project",
     "loopwright new blank.lwp\nloopwright new --width 320 --height 200 --color '#ffcc00' -o card.lwp\n"
     "loopwright new - > blank.lwp"},
    {"convert", "open one or more inputs, apply one-line edits and write the result by the output's extension",
     "loopwright convert a.png b.png c.png -o anim.gif\n"
     "loopwright convert in.gif --delay 5 --loop forever -o out.gif\n"
     "loopwright convert in.gif --resize 50% --colors 64 -o small.gif\n"
     "loopwright convert in.gif --pick 0-9 --reverse -o part.gif\n"
     "loopwright convert --batch *.gif --resize 120x -o thumbs/\n"
     "cat in.gif | loopwright convert - --format gif --crop 0,0,100,80 -o - > out.gif"},
    {"info", "open FILE as the editor does and print a summary (or the model as JSON)",
     "loopwright info in.gif\nloopwright info --json in.gif\ncat clip | loopwright info -"},
    {"render", "write frame N of FILE, composed at canvas size, as an RGBA PNG",
     "loopwright render in.gif frame0.png\nloopwright render --frame 3 in.gif -o frame3.png\n"
     "loopwright render in.gif - | display -"},
    {"run", "run editor commands from SCRIPT (- for standard input), one per line",
     "loopwright run edit.txt\nprintf 'open in.gif\\nreverse\\nexport out.gif --delay 5\\n' | loopwright run -"},
    {"prefs", "show or change the stored preferences (other commands never change them)",
     "loopwright prefs list\nloopwright prefs get DefaultDelay\nloopwright prefs set DefaultDelay 10\n"
     "loopwright prefs set InitColor '#ff8800'\nloopwright prefs reset DefaultDelay\n"
     "loopwright --config my.ini prefs reset"},
    {"publish", "write a web page showing the animation and, next to it, the GIF (or Flash movie) it shows",
     "loopwright publish in.gif page.htm\nloopwright publish in.gif -o page.htm --flash\n"
     "cat in.gif | loopwright publish - -o - > page.htm"},
    {"preview", "write a preview page of FILE in a private temporary folder and open it in the web browser",
     "loopwright preview in.gif\ncat in.gif | loopwright preview -"},
    {"demo", "build the demo animation and write its frames as PNG", "loopwright demo out"},
    {"effect", "render one picture of an effect from IN to OUT (PNG)",
     "loopwright effect clock-wipe in.png out.png --progress 0.5\nloopwright effect fade in.png -o - > out.png"},
    {"banner", "write a new animation of TEXT entering and leaving, by OUT's extension (OUT TEXT, or TEXT -o OUT)",
     "loopwright banner hello.gif 'Hello'\nloopwright banner 'Hello' --enter spin-grow -o hello.gif\n"
     "loopwright banner 'Hi' --format gif -o - > hi.gif"},
    {"completion", "print the bash or zsh completion script",
     "loopwright completion bash > /etc/bash_completion.d/loopwright"},
    {"man", "print the manual page (troff), or with --table the command table", "loopwright man | man -l -"},
};

constexpr const char* kFormats = "gif|lwp|ico|cur|ani|psd|avi|mp4|webm|swf|htm";

const OptionRow kOptions[] = {
    {"", "--config", T::Path, "", "", "read the preferences from FILE instead of the user's file"},
    {"", "--no-config", T::Flag, "", "", "use the default preferences (reproducible runs)"},
    {"", "--quiet,-q", T::Flag, "", "", "no progress bar"},
    {"", "--version", T::Flag, "", "", "print the version and exit"},
    {"", "--yes,!--no", T::Flag, "", "yes", "answer questions with yes or no"},
    {"", "--force", T::Flag, "", "", "replace files that are read-only when saving"},
    {"", "--psd-layers", T::Choice, "objects|frames", "",
     "open layered PSD files with their layers as objects of one frame, or as one picture (frames)"},

    {"new", "OUT", T::Path, "", "", "project to write (.lwp; - for standard output)"},
    {"new", "--output,-o", T::Path, "", "", "project to write (instead of OUT)"},
    {"new", "--width", T::Integer, "1-65535", "", "canvas width (default from the preferences)"},
    {"new", "--height", T::Integer, "1-65535", "", "canvas height (default from the preferences)"},
    {"new", "--transparent", T::Flag, "", "", "start with a transparent canvas (no object)"},
    {"new", "--color", T::Colour, "", "", "initial colour"},

    {"convert", "FILES", T::Path, "", "", "inputs (- for standard input); without -o the last one is the output",
     true, true},
    {"convert", "--output,-o", T::Path, "", "", "file to write (- for standard output; a folder ending in / with --batch)"},
    {"convert", "--format", T::Choice, kFormats, "",
     "output type when it cannot come from the output's name (standard output, --batch)"},
    {"convert", "--batch", T::Flag, "", "", "convert each input to its own output (-o DIR/ or --suffix)"},
    {"convert", "--suffix", T::Text, "", "", "with --batch: OUTPUT is the input's name with this added before the extension"},
    {"convert", "--pick", T::FrameList, "", "", "1. keep only these frames, e.g. 0-9,20,30-"},
    {"convert", "--drop", T::FrameList, "", "", "2. remove these frames"},
    {"convert", "--reverse", T::Flag, "", "", "3. reverse the frame order"},
    {"convert", "--crop", T::Geometry, "X,Y,W,H", "", "4. cut the canvas to the rectangle"},
    {"convert", "--resize", T::Geometry, "WxH|Wx|xH|N%", "",
     "5. scale the animation with the resize filter of the preferences (Wx or xH keeps the aspect)"},
    {"convert", "--delay", T::Text, "0-32767", "", "6. delay in 1/100 s of every frame (D) or of a range (I-J:D)", true},
    {"convert", "--loop", T::Text, "1-65535|forever", "", "7. loop count (0 or forever: endless)"},
    {"convert", "--colors", T::Integer, "2-256", "", "GIF: most colours in the palette"},
    {"convert", "--dither", T::Choice, "none|ordered|diffusion|0|1|2", "", "GIF: dithering"},
    {"convert", "--no-prev-disposal", T::Flag, "", "", "GIF: never use the restore-to-previous disposal"},
    {"convert", "--global-palette", T::Flag, "", "", "GIF: one colour table for all frames, reduced when needed"},
    {"convert", "--optimize", T::Integer, "1-3", "2", "GIF: 1 fast, 2 default, 3 smallest"},
    {"convert", "--lossy", T::Integer, "1-255", "",
     "GIF: lossy LZW, colours within N per channel may stand in (never default)"},
    {"convert", "--hotspot", T::Geometry, "X,Y", "", "CUR/ANI: hot spot"},
    {"convert", "--frames", T::Path, "", "", "also write every frame as BASE<number>.EXT (give BASE.EXT)"},
    {"convert", "--codec", T::Choice, "dib|rle|mjpeg", "mjpeg", "AVI: video codec"},
    {"convert", "--quality", T::Integer, "1-100", "90", "AVI MJPEG (and MPEG-4): quality"},
    {"convert", "--crf", T::Integer, "0-63", "", "MP4/WebM: constant rate factor (H.264 0-51, VP9 0-63)"},
    {"convert", "--sound", T::Path, "", "", "AVI/MP4/WebM: sound file added as a second stream"},
    {"convert", "--background", T::Colour, "", "", "AVI/MP4/WebM: colour behind the frames"},
    {"convert", "--jpeg", T::OptionalInt, "1-100", "", "SWF: JPEG bitmaps, at QUALITY when given as --jpeg=QUALITY"},
    {"convert", "--fps", T::Integer, "1-255", "", "SWF: frames per second (default from the delays)"},
    {"convert", "--timing", T::Choice, "average|exact", "average",
     "SWF: one rate from the mean delay (average) or frames repeated (exact)"},
    {"convert", "--flash", T::Flag, "", "", "HTM: the page embeds a Flash movie instead of the GIF"},
    {"convert", "--ruffle", T::Text, "", "", "HTM with --flash: address of the Ruffle player script"},

    {"info", "FILE", T::Path, "", "", "file to open (- for standard input)", false, true},
    {"info", "--json", T::Flag, "", "", "print the model as JSON"},

    {"render", "FILE", T::Path, "", "", "file to open (- for standard input)", false, true},
    {"render", "OUT", T::Path, "", "", "PNG to write (- for standard output)"},
    {"render", "--output,-o", T::Path, "", "", "PNG to write (instead of OUT)"},
    {"render", "--frame", T::Integer, "0-1000000", "0", "frame index, from 0"},

    {"run", "SCRIPT", T::Path, "", "", "script file (- for standard input)", false, true},

    {"prefs", "ACTION", T::Text, "list|get|set|reset", "", "list | get KEY | set KEY VALUE | reset [KEY]", true, true},

    {"publish", "IN", T::Path, "", "", "file to open (- for standard input)", false, true},
    {"publish", "OUT", T::Path, "", "", "page to write (.htm; - for standard output, the page only)"},
    {"publish", "--output,-o", T::Path, "", "", "page to write (instead of OUT)"},
    {"publish", "--flash", T::Flag, "", "", "embed a Flash movie (played by Ruffle) instead of the GIF"},
    {"publish", "--ruffle", T::Text, "", "", "address of the Ruffle player script"},

    {"preview", "IN", T::Path, "", "", "file to open (- for standard input)", false, true},
    {"preview", "--flash", T::Flag, "", "", "preview the Flash movie instead of the GIF"},
    {"preview", "--ruffle", T::Text, "", "", "address of the Ruffle player script"},

    {"demo", "OUTDIR", T::Folder, "", "out", "folder for the pictures"},
    {"demo", "--output,-o", T::Folder, "", "", "folder for the pictures (instead of OUTDIR)"},

    {"effect", "EFFECT", T::Text, "", "", "effect name, e.g. clock-wipe", false, true},
    {"effect", "IN", T::Path, "", "", "picture to read (- for standard input)", false, true},
    {"effect", "OUT", T::Path, "", "", "PNG to write (- for standard output)"},
    {"effect", "PARAMS", T::Text, "", "", "effect parameters name=value", true},
    {"effect", "--output,-o", T::Path, "", "", "PNG to write (instead of OUT)"},
    {"effect", "--progress", T::Number, "0-1", "1", "position in the effect"},

    {"banner", "ARGS", T::Text, "", "", "OUT TEXT, or TEXT alone with -o OUT; \\n in a shell $'...' string starts a new line",
     true, true},
    {"banner", "--output,-o", T::Path, "", "", "file to write (.gif, .lwp, .ico, .cur, .ani, .psd; - for standard output)"},
    {"banner", "--format", T::Choice, "gif|lwp|ico|cur|ani|psd", "gif", "output type for standard output"},
    {"banner", "--size", T::Geometry, "WxH", "", "canvas size, each 1 to 4000 (default: the text with a 16-pixel margin)"},
    {"banner", "--enter", T::Text, "", "", "enter effect: a kind name (see --help of the script's banner), 0-13 or none"},
    {"banner", "--leave", T::Text, "", "", "leave effect: a kind name, 0-13 or none"},
    {"banner", "--enter-frames", T::Integer, "1-300", "", "frames of the enter phase"},
    {"banner", "--leave-frames", T::Integer, "1-300", "", "frames of the leave phase"},
    {"banner", "--delay", T::Integer, "0-32767", "", "delay of every frame, 1/100 s"},
    {"banner", "--font", T::Text, "", "", "font family"},
    {"banner", "--font-size", T::Number, "1-2000", "", "font size in pixels"},
    {"banner", "--color", T::Colour, "", "", "text colour"},
    {"banner", "--outline", T::Colour, "", "", "outline colour (draws an outline)"},
    {"banner", "--shadow", T::Integer, "0-9", "", "shadow kind"},
    {"banner", "--rect", T::Geometry, "X,Y,W,H", "", "banner rectangle (default: the canvas)"},
    {"banner", "--at", T::Geometry, "X,Y", "", "top-left of the text box (default: centred)"},
    {"banner", "--type-from-right", T::Flag, "", "", "typing grows from the right end of the text"},

    {"completion", "SHELL", T::Choice, "bash|zsh", "bash", "the shell"},
    {"man", "--table", T::Flag, "", "", "print the command table as tab-separated lines instead"},
};

bool ParseWhole(const std::string& text, long long& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && end && *end == '\0';
}

bool ParseDecimal(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end && *end == '\0' && std::isfinite(value);
}

// "LO-HI" (LO may be negative).
bool SplitRange(const std::string& range, double& lo, double& hi) {
  const std::size_t dash = range.find('-', 1);
  return dash != std::string::npos && ParseDecimal(range.substr(0, dash), lo) &&
         ParseDecimal(range.substr(dash + 1), hi);
}

std::string Shown(double v) { return Format("%g", v); }

std::vector<std::string> SplitBar(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t bar; (bar = text.find('|', start)) != std::string::npos; start = bar + 1)
    out.push_back(text.substr(start, bar - start));
  out.push_back(text.substr(start));
  return out;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : ", ") + w;
  return out;
}

}  // namespace

std::span<const CommandRow> Commands() { return kCommands; }
std::span<const OptionRow> Options() { return kOptions; }

const CommandRow* FindCommand(const std::string& name) {
  for (const auto& c : kCommands)
    if (name == c.name) return &c;
  return nullptr;
}

std::vector<const OptionRow*> OptionsOf(const std::string& command) {
  std::vector<const OptionRow*> out;
  for (const auto& o : kOptions)
    if (command == o.command) out.push_back(&o);
  return out;
}

const OptionRow* FindOption(const std::string& command, const std::string& name) {
  const std::string bare = name.compare(0, 2, "--") == 0 ? name.substr(2) : name;
  for (const OptionRow* o : OptionsOf(command))
    if (OptionLongName(*o) == bare && !IsPositional(*o)) return o;
  return nullptr;
}

std::string OptionLongName(const OptionRow& option) {
  std::string name = option.name;
  const auto comma = name.find(',');
  if (comma != std::string::npos) name.resize(comma);
  return name.compare(0, 2, "--") == 0 ? name.substr(2) : name;
}

bool IsPositional(const OptionRow& option) { return option.name[0] != '-'; }

const char* OptionTypeName(OptionType type) {
  switch (type) {
    case T::Flag: return "";
    case T::Integer: return "INT";
    case T::Number: return "NUMBER";
    case T::OptionalInt: return "[=INT]";
    case T::Text: return "TEXT";
    case T::Path: return "FILE";
    case T::Folder: return "DIR";
    case T::Choice: return "CHOICE";
    case T::Colour: return "COLOUR";
    case T::FrameList: return "FRAMES";
    case T::Geometry: return "GEOMETRY";
  }
  return "";
}

std::string CheckOptionValue(const OptionRow& o, const std::string& value) {
  const std::string name = IsPositional(o) ? std::string(o.name) : "--" + OptionLongName(o);
  double lo = 0, hi = 0;
  const bool ranged = SplitRange(o.range, lo, hi);
  switch (o.type) {
    case T::Integer:
    case T::OptionalInt: {
      long long v;
      if (!ParseWhole(value, v) || (ranged && (double(v) < lo || double(v) > hi)))
        return ranged ? Format(Tr("%s takes an integer from %s to %s"), name.c_str(), Shown(lo).c_str(), Shown(hi).c_str())
                      : Format(Tr("%s takes an integer"), name.c_str());
      return {};
    }
    case T::Number: {
      double v;
      if (!ParseDecimal(value, v) || (ranged && (v < lo || v > hi)))
        return ranged ? Format(Tr("%s takes a number from %s to %s"), name.c_str(), Shown(lo).c_str(), Shown(hi).c_str())
                      : Format(Tr("%s takes a number"), name.c_str());
      return {};
    }
    case T::Choice:
      for (const std::string& choice : SplitBar(o.range))
        if (choice == value) return {};
      return Format(Tr("%s takes one of %s"), name.c_str(), Joined(SplitBar(o.range)).c_str());
    default:
      return {};
  }
}

std::string CTableValues::Text(const std::string& name) const {
  auto it = text.find(name);
  return it == text.end() ? std::string() : it->second;
}

bool CTableValues::Flag(const std::string& name) const {
  auto it = flags.find(name);
  return it != flags.end() && it->second;
}

std::vector<std::string> CTableValues::List(const std::string& name) const {
  auto it = lists.find(name);
  return it == lists.end() ? std::vector<std::string>() : it->second;
}

long long CTableValues::Int(const std::string& name, long long fallback) const {
  long long v;
  return ParseWhole(Text(name), v) ? v : fallback;
}

double CTableValues::Number(const std::string& name, double fallback) const {
  double v;
  return ParseDecimal(Text(name), v) ? v : fallback;
}

void SetTableDefaults(const std::string& command, CTableValues& values) {
  for (const OptionRow* o : OptionsOf(command)) {
    if (!*o->def) continue;
    if (o->type == T::Flag) values.flags[OptionLongName(*o)] = true;
    else if (o->repeatable) values.lists[OptionLongName(*o)] = {o->def};
    else values.text[OptionLongName(*o)] = o->def;
  }
}

bool ParseTableWords(const std::string& command, const std::vector<std::string>& words, std::size_t from,
                     CTableValues& values, std::vector<std::string>& rest, std::string& message,
                     const std::vector<std::string>& refused) {
  for (std::size_t i = from; i < words.size(); ++i) {
    const std::string& w = words[i];
    const std::size_t eq = w.find('=');
    const std::string name = w.substr(0, eq);
    const OptionRow* o = w.compare(0, 2, "--") == 0 ? FindOption(command, name) : nullptr;
    if (!o) {
      rest.push_back(w);
      continue;
    }
    const std::string key = OptionLongName(*o);
    for (const std::string& r : refused)
      if (r == key) return message = Format(Tr("%s does not apply here"), name.c_str()), false;
    if (o->type == T::Flag) {
      if (eq != std::string::npos) return message = Format(Tr("%s takes no value"), name.c_str()), false;
      values.flags[key] = true;
      continue;
    }
    std::string value;
    if (eq != std::string::npos) value = w.substr(eq + 1);
    else if (o->type == T::OptionalInt) value = "-1";
    else if (i + 1 < words.size()) value = words[++i];
    else return message = Format(Tr("%s needs a value"), name.c_str()), false;
    if (!(o->type == T::OptionalInt && value == "-1"))
      if (std::string why = CheckOptionValue(*o, value); !why.empty()) return message = why, false;
    if (o->repeatable) values.lists[key].push_back(value);
    else values.text[key] = value;
  }
  return true;
}
