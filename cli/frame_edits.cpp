#include "cli/frame_edits.h"

#include <algorithm>
#include <cmath>

#include "app/loopwright_doc.h"
#include "cli/command_table.h"
#include "cli/script_runner.h"
#include "cli/text_format.h"
#include "companions/base/tr.h"
#include "editing/frame_commands.h"
#include "editing/frame_subset_commands.h"

namespace {

constexpr int kNoEnd = -1;

struct FrameRange {
  int first, last;  // last kNoEnd: to the end
};

bool ParseNumber(const std::string& text, long long lo, long long hi, long long& v) {
  return !text.empty() && text[0] != '+' && text[0] != '-' && ParseInt(text, v) && v >= lo && v <= hi;
}

// "I", "I-J", "I-" and "-J".
bool ParseRange(const std::string& item, FrameRange& r) {
  long long a = 0, b = 0;
  const std::size_t dash = item.find('-');
  if (dash == std::string::npos) {
    if (!ParseNumber(item, 0, 1000000, a)) return false;
    r = {int(a), int(a)};
    return true;
  }
  const std::string left = item.substr(0, dash), right = item.substr(dash + 1);
  if (left.empty() && right.empty()) return false;
  if (!left.empty() && !ParseNumber(left, 0, 1000000, a)) return false;
  if (!right.empty() && !ParseNumber(right, 0, 1000000, b)) return false;
  r = {int(a), right.empty() ? kNoEnd : int(b)};
  return r.last == kNoEnd || r.first <= r.last;
}

bool ParseRanges(const std::string& text, std::vector<FrameRange>& out) {
  out.clear();
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    FrameRange r{};
    if (!ParseRange(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start), r)) return false;
    out.push_back(r);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

// "RANGE:D" or a bare "D" (all frames).
struct DelayItem {
  bool all;
  FrameRange range;
  int delay;
};

bool ParseDelays(const std::string& text, std::vector<DelayItem>& out) {
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const std::size_t colon = item.find(':');
    long long d;
    DelayItem di{true, {0, kNoEnd}, 0};
    if (colon == std::string::npos) {
      if (!ParseNumber(item, 0, 32767, d)) return false;
    } else {
      if (!ParseRange(item.substr(0, colon), di.range) || !ParseNumber(item.substr(colon + 1), 0, 32767, d))
        return false;
      di.all = false;
    }
    di.delay = int(d);
    out.push_back(di);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

bool ParseRect(const std::string& text, long long v[4]) {
  std::size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t comma = text.find(',', start);
    if ((i < 3) == (comma == std::string::npos)) return false;
    if (!ParseNumber(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start), 0,
                     kMaxDibDimension, v[i]))
      return false;
    start = comma + 1;
  }
  return v[2] > 0 && v[3] > 0;
}

// "WxH", "Wx", "xH" (the other side keeps the aspect) or "N%". Width or
// height 0 means "from the aspect"; percent > 0 means a scale.
bool ParseResize(const std::string& text, long long& w, long long& h, double& percent) {
  w = h = 0;
  percent = 0;
  if (!text.empty() && text.back() == '%') {
    const std::string n = text.substr(0, text.size() - 1);
    char* end = nullptr;
    percent = std::strtod(n.c_str(), &end);
    return !n.empty() && end && *end == '\0' && percent > 0 && percent <= 10000;
  }
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return false;
  const std::string a = text.substr(0, x), b = text.substr(x + 1);
  if (a.empty() && b.empty()) return false;
  if (!a.empty() && !ParseNumber(a, 1, kMaxDibDimension, w)) return false;
  if (!b.empty() && !ParseNumber(b, 1, kMaxDibDimension, h)) return false;
  return true;
}

bool ParseLoop(const std::string& text, bool& forever, long long& count) {
  forever = text == "forever" || text == "0";
  count = 1;
  return forever || ParseNumber(text, 1, 65535, count);
}

int Fits(std::string& message, const std::string& text) {
  message = text;
  return 2;
}

}  // namespace

bool ResolveFrameList(const std::string& text, int frameCount, std::vector<int>& positions) {
  std::vector<FrameRange> ranges;
  if (!ParseRanges(text, ranges)) return false;
  positions.clear();
  for (const FrameRange& r : ranges) {
    const int last = r.last == kNoEnd ? frameCount - 1 : r.last;
    if (r.first >= frameCount || last >= frameCount) return false;
    for (int i = r.first; i <= last; ++i) positions.push_back(i);
  }
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  return true;
}

bool CheckFrameEdits(const CFrameEdits& e, std::string& message) {
  std::vector<FrameRange> ranges;
  if (!e.pick.empty() && !ParseRanges(e.pick, ranges))
    return message = Tr("--pick takes frame numbers and ranges such as 0-9,20,30-"), false;
  if (!e.drop.empty() && !ParseRanges(e.drop, ranges))
    return message = Tr("--drop takes frame numbers and ranges such as 0-9,20,30-"), false;
  long long rect[4];
  if (!e.crop.empty() && !ParseRect(e.crop, rect)) return message = Tr("--crop takes X,Y,W,H"), false;
  long long w, h;
  double percent;
  if (!e.resize.empty() && !ParseResize(e.resize, w, h, percent))
    return message = Tr("--resize takes WxH, Wx, xH or N%"), false;
  for (const std::string& d : e.delays) {
    std::vector<DelayItem> items;
    if (!ParseDelays(d, items))
      return message = Tr("--delay takes D or I-J:D in hundredths of a second (0-32767)"), false;
  }
  bool forever;
  long long count;
  if (!e.loop.empty() && !ParseLoop(e.loop, forever, count)) return message = Tr("--loop takes 1-65535 or forever"), false;
  return true;
}

int ApplyFrameEdits(CLoopwrightDoc& doc, const CFrameEdits& e, std::string& message) {
  if (!CheckFrameEdits(e, message)) return 2;
  std::vector<int> positions;
  if (!e.pick.empty()) {
    if (!ResolveFrameList(e.pick, doc.GetFrameCount(), positions))
      return Fits(message, Format(Tr("--pick names a frame the animation does not have (it has %d)"), doc.GetFrameCount()));
    std::vector<int> drop;
    for (int i = 0; i < doc.GetFrameCount(); ++i)
      if (!std::binary_search(positions.begin(), positions.end(), i)) drop.push_back(i);
    if (!drop.empty() && !RemoveFramesAt(doc, drop)) return Fits(message, Tr("--pick keeps no frame"));
  }
  if (!e.drop.empty()) {
    if (!ResolveFrameList(e.drop, doc.GetFrameCount(), positions))
      return Fits(message, Format(Tr("--drop names a frame the animation does not have (it has %d)"), doc.GetFrameCount()));
    if (!RemoveFramesAt(doc, positions)) return Fits(message, Tr("--drop would remove every frame"));
  }
  if (e.reverse) ReverseFrames(doc, false);
  if (!e.crop.empty()) {
    long long r[4];
    ParseRect(e.crop, r);
    if (r[0] + r[2] > doc.m_nWidth || r[1] + r[3] > doc.m_nHeight)
      return Fits(message, Format(Tr("--crop reaches outside the canvas of %d x %d"), doc.m_nWidth, doc.m_nHeight));
    ResizeCanvas(doc, int(r[2]), int(r[3]), -int(r[0]), -int(r[1]));
  }
  if (!e.resize.empty()) {
    long long w, h;
    double percent;
    ParseResize(e.resize, w, h, percent);
    const double cw = doc.m_nWidth, ch = doc.m_nHeight;
    if (percent > 0) {
      w = std::llround(cw * percent / 100.0);
      h = std::llround(ch * percent / 100.0);
    } else if (w == 0) {
      w = std::llround(cw * double(h) / ch);
    } else if (h == 0) {
      h = std::llround(ch * double(w) / cw);
    }
    w = std::max(1LL, w);
    h = std::max(1LL, h);
    if (w > kMaxDibDimension || h > kMaxDibDimension)
      return Fits(message, Format(Tr("--resize makes the canvas larger than %d pixels"), int(kMaxDibDimension)));
    if (!ResizeAnimation(doc, int(w), int(h)) && (w != doc.m_nWidth || h != doc.m_nHeight))
      return message = Tr("out of memory"), 1;
  }
  for (const std::string& text : e.delays) {
    std::vector<DelayItem> items;
    ParseDelays(text, items);
    for (const DelayItem& d : items) {
      if (d.all) {
        MakeSameDelay(doc, std::uint16_t(d.delay), true);
        continue;
      }
      if (!ResolveFrameList(std::to_string(d.range.first) + "-" +
                                (d.range.last == kNoEnd ? std::string() : std::to_string(d.range.last)),
                            doc.GetFrameCount(), positions))
        return Fits(message, Format(Tr("--delay names a frame the animation does not have (it has %d)"),
                                    doc.GetFrameCount()));
      doc.m_selectedFrames = positions;
      doc.m_nCurrentFrame = positions.front();
      MakeSameDelay(doc, std::uint16_t(d.delay), false);
    }
  }
  if (!e.loop.empty()) {
    bool forever;
    long long count;
    ParseLoop(e.loop, forever, count);
    SetLoopTimes(doc, forever ? 1 : 0, forever ? doc.m_nLoopCount : int(count));
  }
  return 0;
}

CFrameEdits FrameEditsFromTable(const CTableValues& v) {
  CFrameEdits e;
  e.pick = v.Text("pick");
  e.drop = v.Text("drop");
  e.crop = v.Text("crop");
  e.resize = v.Text("resize");
  e.loop = v.Text("loop");
  e.delays = v.List("delay");
  e.reverse = v.Flag("reverse");
  return e;
}
