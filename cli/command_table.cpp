#include "cli/command_table.h"

namespace {

using T = OptionType;

const CommandSpec kCommands[] = {
    {"new", "create a new animation from the preferences and save it as a project",
     "loopwright new blank.lwp\nloopwright new --width 320 --height 200 --color '#ffcc00' card.lwp"},
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
     "loopwright render in.gif frame0.png\nloopwright render --frame 3 in.gif -o frame3.png"},
    {"run", "run editor commands from SCRIPT (- for standard input), one per line",
     "loopwright run edit.txt\necho 'open in.gif\nreverse\nexport out.gif' | loopwright run -"},
    {"prefs", "show or change the stored preferences (other commands never change them)",
     "loopwright prefs list\nloopwright prefs set DefaultDelay 10\nloopwright prefs reset"},
    {"publish", "write OUT.htm and the GIF (or Flash movie) it shows next to it", "loopwright publish in.gif page.htm"},
    {"preview", "write a preview page of FILE and open it in the web browser", "loopwright preview in.gif"},
    {"demo", "build the demo animation and write its frames as PNG", "loopwright demo out"},
    {"effect", "render one picture of an effect from IN to OUT (PNG)",
     "loopwright effect clock-wipe in.png out.png --progress 0.5"},
    {"banner", "write a new animation of TEXT entering and leaving, by OUT's extension",
     "loopwright banner 'Hello' hello.gif"},
    {"completion", "print the bash or zsh completion script", "loopwright completion bash > /etc/bash_completion.d/loopwright"},
    {"man", "print the manual page (troff)", "loopwright man | man -l -"},
};

const OptionSpec kOptions[] = {
    {"", "--config", T::Path, "", "", "read the preferences from FILE instead of the user's file"},
    {"", "--no-config", T::Flag, "", "", "use the default preferences (reproducible runs)"},
    {"", "--quiet,-q", T::Flag, "", "", "no progress bar"},
    {"", "--version", T::Flag, "", "", "print the version and exit"},
    {"convert", "--output,-o", T::Path, "", "", "file to write (- for standard output; a folder ending in / with --batch)"},
    {"convert", "--format", T::Choice, "gif|lwp|ico|cur|ani|psd|avi|mp4|webm|swf|htm", "",
     "output type when it cannot come from the output's name (standard output, --batch)"},
    {"convert", "--batch", T::Flag, "", "", "convert each input to its own output (-o DIR/ or --suffix)"},
    {"convert", "--suffix", T::Text, "", "", "with --batch: OUTPUT is the input's name with this added before the extension"},
    {"convert", "--pick", T::FrameList, "", "", "1. keep only these frames, e.g. 0-9,20,30-"},
    {"convert", "--drop", T::FrameList, "", "", "2. remove these frames"},
    {"convert", "--reverse", T::Flag, "", "", "3. reverse the frame order"},
    {"convert", "--crop", T::Geometry, "X,Y,W,H", "", "4. cut the canvas to the rectangle"},
    {"convert", "--resize", T::Geometry, "WxH|Wx|xH|N%", "", "5. scale the animation (Wx or xH keeps the aspect)"},
    {"convert", "--delay", T::Text, "0-32767", "", "6. delay in 1/100 s of every frame (D) or of a range (I-J:D)", true},
    {"convert", "--loop", T::Text, "1-65535|forever", "", "7. loop count (0 or forever: endless)"},
    {"info", "--json", T::Flag, "", "", "print the model as JSON"},
    {"prefs", "ACTION", T::Text, "list|get|set|reset", "", "list | get KEY | set KEY VALUE | reset [KEY]"},
    {"completion", "SHELL", T::Choice, "bash|zsh", "bash", "the shell"},
};

}  // namespace

std::span<const CommandSpec> Commands() { return kCommands; }
std::span<const OptionSpec> Options() { return kOptions; }

const CommandSpec* FindCommand(const std::string& name) {
  for (const auto& c : kCommands)
    if (name == c.name) return &c;
  return nullptr;
}

std::vector<const OptionSpec*> OptionsOf(const std::string& command) {
  std::vector<const OptionSpec*> out;
  for (const auto& o : kOptions)
    if (command == o.command) out.push_back(&o);
  return out;
}

std::string OptionLongName(const OptionSpec& option) {
  std::string name = option.name;
  const auto comma = name.find(',');
  if (comma != std::string::npos) name.resize(comma);
  return name.compare(0, 2, "--") == 0 ? name.substr(2) : name;
}

const char* OptionTypeName(OptionType type) {
  switch (type) {
    case T::Flag: return "";
    case T::Integer: return "INT";
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
