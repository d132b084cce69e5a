// Draws the splash pictures (one per language folder) and the window icon,
// and writes them as XPM with a small palette. Run by scripts/draw-pictures;
// the outputs are committed, so this is not part of the normal build.
//
//   draw_pictures ROOT [PNGDIR]
// writes ROOT/data/splash.xpm, ROOT/data/ru/splash.xpm, ROOT/data/uk/splash.xpm
// and ROOT/app/kalvo_checker.xpm; with PNGDIR it loads each written file back
// through the XPM loader and saves what it got as PNG, for a look.

#include <wx/wx.h>
#include <wx/filename.h>
#include <wx/graphics.h>
#include <wx/image.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

const double Pi = 3.14159265358979323846;

struct Rgb {
  int r, g, b;
};

wxColour Col(const Rgb& c) { return wxColour(c.r, c.g, c.b); }

// The palette of the drawing; the quantizer keeps these exact.
const Rgb Band{0x1F, 0x3A, 0x5F};
const Rgb Paper{0xF1, 0xF4, 0xF7};
const Rgb White{0xFF, 0xFF, 0xFF};
const Rgb Ink{0x23, 0x30, 0x40};
const Rgb Muted{0x5E, 0x6E, 0x80};
const Rgb Accent{0x3A, 0x8F, 0xB7};
const Rgb BandText{0xA9, 0xC1, 0xDD};
const Rgb Ring{0x2B, 0x4C, 0x74};
const Rgb Green{0x3C, 0x9A, 0x5F};
const Rgb Amber{0xE0, 0xA2, 0x2A};
const Rgb Red{0xC8, 0x3A, 0x32};
const Rgb Pipe{0x8C, 0x99, 0xA8};

const std::vector<Rgb> DesignColours{Band, Paper, White, Ink, Muted, Accent, BandText, Ring, Green, Amber, Red, Pipe};

// Dial angle for a reading 0..1: 270 degrees clockwise from the lower left.
double DialAngle(double v) { return (135.0 + 270.0 * v) * Pi / 180.0; }

// A gauge: ring, face, coloured range arcs, ticks, needle and hub.
// `r` is the outer radius; the rest scales with it.
void DrawGauge(wxGraphicsContext* gc, double cx, double cy, double r, bool small) {
  const double ringWidth = small ? 2.0 : std::max(2.0, r * 0.08);
  gc->SetPen(wxPen(Col(Ring), 1));
  gc->SetBrush(wxBrush(Col(Ring)));
  gc->DrawEllipse(cx - r, cy - r, 2 * r, 2 * r);
  const double face = r - ringWidth;
  gc->SetPen(*wxTRANSPARENT_PEN);
  gc->SetBrush(wxBrush(Col(White)));
  gc->DrawEllipse(cx - face, cy - face, 2 * face, 2 * face);

  // Normal, warning and alarm ranges along the inner edge of the scale.
  const double arcWidth = small ? 3.0 : std::max(3.0, r * 0.11);
  const double arcR = face - (small ? 3.0 : r * 0.10) - arcWidth / 2;
  struct Range {
    double from, to;
    Rgb colour;
  };
  for (const Range& range : {Range{0.0, 0.62, Green}, Range{0.62, 0.82, Amber}, Range{0.82, 1.0, Red}}) {
    wxGraphicsPath path = gc->CreatePath();
    path.AddArc(cx, cy, arcR, DialAngle(range.from), DialAngle(range.to), true);
    wxGraphicsPenInfo info(Col(range.colour));
    info.Width(arcWidth).Cap(wxCAP_BUTT);
    gc->SetPen(gc->CreatePen(info));
    gc->StrokePath(path);
  }

  if (!small) {
    // Ticks outside the ranges: long every fifth, short between.
    for (int i = 0; i <= 20; ++i) {
      const bool major = i % 5 == 0;
      const double a = DialAngle(i / 20.0);
      const double outer = face - r * 0.04;
      const double inner = outer - (major ? r * 0.16 : r * 0.08);
      wxGraphicsPenInfo info(Col(Ink));
      info.Width(major ? std::max(1.5, r * 0.045) : std::max(1.0, r * 0.025)).Cap(wxCAP_BUTT);
      gc->SetPen(gc->CreatePen(info));
      gc->StrokeLine(cx + inner * std::cos(a), cy + inner * std::sin(a), cx + outer * std::cos(a),
                     cy + outer * std::sin(a));
    }
  }

  // Needle: a slim triangle from behind the hub to near the scale.
  const double a = DialAngle(0.40);
  const double len = small ? face - 1.5 : face - r * 0.12;
  const double tail = small ? 1.5 : r * 0.10;
  const double half = small ? 1.8 : std::max(1.5, r * 0.055);
  const double ux = std::cos(a), uy = std::sin(a);
  const double px = -uy, py = ux;
  wxGraphicsPath needle = gc->CreatePath();
  needle.MoveToPoint(cx + ux * len, cy + uy * len);
  needle.AddLineToPoint(cx - ux * tail + px * half, cy - uy * tail + py * half);
  needle.AddLineToPoint(cx - ux * tail - px * half, cy - uy * tail - py * half);
  needle.CloseSubpath();
  gc->SetPen(*wxTRANSPARENT_PEN);
  gc->SetBrush(wxBrush(Col(Red)));
  gc->FillPath(needle);
  const double hub = small ? 2.5 : std::max(3.0, r * 0.11);
  gc->SetBrush(wxBrush(Col(Ink)));
  gc->DrawEllipse(cx - hub, cy - hub, 2 * hub, 2 * hub);
}

// Greedy word wrap to `width` pixels.
std::vector<wxString> Wrap(wxGraphicsContext* gc, const wxString& text, double width) {
  std::vector<wxString> lines;
  wxString line;
  for (const wxString& word : wxSplit(text, ' ')) {
    const wxString candidate = line.empty() ? word : line + " " + word;
    double w, h;
    gc->GetTextExtent(candidate, &w, &h);
    if (w > width && !line.empty()) {
      lines.push_back(line);
      line = word;
    } else {
      line = candidate;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// As few lines as the width allows, but of even length: no lone last word.
std::vector<wxString> WrapEvenly(wxGraphicsContext* gc, const wxString& text, double width) {
  const size_t count = Wrap(gc, text, width).size();
  double lo = 0, hi = width;
  while (hi - lo > 1) {
    const double mid = (lo + hi) / 2;
    (Wrap(gc, text, mid).size() <= count ? hi : lo) = mid;
  }
  return Wrap(gc, text, hi);
}

wxFont Face(int pixels, bool bold) {
  wxFontInfo info{wxSize(0, pixels)};
  info.FaceName("DejaVu Sans");
  if (bold) info.Bold();
  return wxFont(info);
}

const int SplashWidth = 420;
const int SplashHeight = 220;

wxImage DrawSplash(const wxString& line) {
  wxImage image(SplashWidth, SplashHeight);
  const int bandHeight = 84;
  {
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(image));
    gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    gc->SetPen(*wxTRANSPARENT_PEN);
    gc->SetBrush(wxBrush(Col(Paper)));
    gc->DrawRectangle(0, 0, SplashWidth, SplashHeight);
    gc->SetBrush(wxBrush(Col(Band)));
    gc->DrawRectangle(0, 0, SplashWidth, bandHeight);
    gc->SetBrush(wxBrush(Col(Accent)));
    gc->DrawRectangle(0, bandHeight, SplashWidth, 3);

    // The measuring point: a gauge on its tapping of a pipe.
    const double cx = 72, cy = 150, r = 50;
    gc->SetBrush(wxBrush(Col(Pipe)));
    gc->DrawRectangle(0, 204, 128, 10);
    gc->DrawRectangle(128, 200, 5, 18);
    gc->DrawRectangle(cx - 5, cy + r - 4, 10, 204 - (cy + r - 4));
    gc->DrawRectangle(cx - 10, 200, 20, 4);
    DrawGauge(gc.get(), cx, cy, r, false);

    gc->SetFont(Face(27, true), Col(White));
    double w, h, descent, leading;
    const wxString title = "KALVO_Checker 2.16";
    gc->GetTextExtent(title, &w, &h, &descent, &leading);
    gc->DrawText(title, 22, (bandHeight - h) / 2 + 1);

    const double left = 146, right = SplashWidth - 20;
    gc->SetFont(Face(15, false), Col(Ink));
    const std::vector<wxString> lines = WrapEvenly(gc.get(), line, right - left);
    gc->GetTextExtent("Xy", &w, &h);
    const double lineHeight = std::ceil(h * 1.25);
    double y = 108;
    for (const wxString& l : lines) {
      gc->DrawText(l, left, y);
      y += lineHeight;
    }

    gc->SetFont(Face(12, true), Col(Muted));
    gc->GetTextExtent("Melvar", &w, &h);
    gc->SetPen(wxPen(Col(Accent), 1));
    gc->StrokeLine(left, 184.5, right, 184.5);
    gc->DrawText("Melvar", left, 192);
  }
  return image;
}

const int IconSize = 32;

wxImage DrawIcon() {
  wxImage image(IconSize, IconSize);
  image.InitAlpha();
  std::fill(image.GetAlpha(), image.GetAlpha() + IconSize * IconSize, 0);
  {
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(image));
    gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    DrawGauge(gc.get(), 16, 16, 15.5, true);
  }
  return image;
}

// Median cut on the colour histogram, refined by a few weighted k-means
// passes; the design colours stay exact. No dithering: flat areas stay flat.
class Quantizer {
 public:
  std::vector<Rgb> palette;

  Quantizer(const std::map<int, long>& histogram, size_t size) {
    std::vector<Entry> rest;
    for (const Rgb& c : DesignColours)
      if (histogram.count(Key(c))) palette.push_back(c);
    const size_t pinned = palette.size();
    for (const auto& [key, count] : histogram) {
      const Rgb c = FromKey(key);
      if (std::none_of(palette.begin(), palette.begin() + pinned, [&](const Rgb& p) { return Key(p) == key; }))
        rest.push_back({c, count});
    }
    if (histogram.size() <= size) {
      for (const Entry& e : rest) palette.push_back(e.c);
      return;
    }
    MedianCut(rest, size - pinned);
    for (int pass = 0; pass < 8; ++pass) Refine(rest, pinned);
  }

  size_t Nearest(const Rgb& c) const {
    size_t best = 0;
    long bestD = -1;
    for (size_t i = 0; i < palette.size(); ++i) {
      const long d = Distance(c, palette[i]);
      if (bestD < 0 || d < bestD) {
        bestD = d;
        best = i;
      }
    }
    return best;
  }

  static int Key(const Rgb& c) { return (c.r << 16) | (c.g << 8) | c.b; }
  static Rgb FromKey(int k) { return {(k >> 16) & 255, (k >> 8) & 255, k & 255}; }

 private:
  struct Entry {
    Rgb c;
    long n;
  };

  // Green counts most, blue least, roughly as the eye does.
  static long Distance(const Rgb& a, const Rgb& b) {
    const long dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
  }

  void MedianCut(std::vector<Entry> entries, size_t boxes) {
    using Box = std::vector<Entry>;
    std::vector<Box> all{entries};
    auto channel = [](const Rgb& c, int ch) { return ch == 0 ? c.r : ch == 1 ? c.g : c.b; };
    auto spread = [&](const Box& box, int& widest) {
      int best = -1;
      for (int ch = 0; ch < 3; ++ch) {
        int lo = 255, hi = 0;
        for (const Entry& e : box) {
          lo = std::min(lo, channel(e.c, ch));
          hi = std::max(hi, channel(e.c, ch));
        }
        const int weight = ch == 1 ? 4 : ch == 0 ? 3 : 2;
        if ((hi - lo) * weight > best) {
          best = (hi - lo) * weight;
          widest = ch;
        }
      }
      return best;
    };
    while (all.size() < boxes) {
      size_t pick = all.size();
      int pickSpread = 0, pickChannel = 0;
      for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].size() < 2) continue;
        int ch = 0;
        const int s = spread(all[i], ch);
        if (s > pickSpread) {
          pickSpread = s;
          pick = i;
          pickChannel = ch;
        }
      }
      if (pick == all.size()) break;
      Box& box = all[pick];
      std::sort(box.begin(), box.end(),
                [&](const Entry& a, const Entry& b) { return channel(a.c, pickChannel) < channel(b.c, pickChannel); });
      long total = 0;
      for (const Entry& e : box) total += e.n;
      long run = 0;
      size_t cut = 1;
      for (; cut < box.size() - 1; ++cut) {
        run += box[cut - 1].n;
        if (run * 2 >= total) break;
      }
      Box upper(box.begin() + cut, box.end());
      box.resize(cut);
      all.push_back(upper);
    }
    for (const Box& box : all) palette.push_back(Mean(box));
  }

  static Rgb Mean(const std::vector<Entry>& box) {
    double r = 0, g = 0, b = 0, n = 0;
    for (const Entry& e : box) {
      r += double(e.c.r) * e.n;
      g += double(e.c.g) * e.n;
      b += double(e.c.b) * e.n;
      n += e.n;
    }
    return {int(std::lround(r / n)), int(std::lround(g / n)), int(std::lround(b / n))};
  }

  void Refine(const std::vector<Entry>& entries, size_t pinned) {
    std::vector<std::vector<Entry>> groups(palette.size());
    for (const Entry& e : entries) groups[Nearest(e.c)].push_back(e);
    for (size_t i = pinned; i < palette.size(); ++i)
      if (!groups[i].empty()) palette[i] = Mean(groups[i]);
  }
};

// Characters for the pixels: no quote, backslash, slash, star or question mark,
// so the text is a clean C string and no comment or trigraph can start in it.
const std::string PixelChars =
    " .+@#$%&=-;>,)!~{]^(_:<[}|"
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

bool WriteXpm(const wxImage& image, const wxString& path, const std::string& declaration, size_t colours,
              const std::string& comment) {
  const int w = image.GetWidth(), h = image.GetHeight();
  const bool hasAlpha = image.HasAlpha();
  const unsigned char* rgb = image.GetData();
  auto opaque = [&](int i) { return !hasAlpha || image.GetAlpha()[i] >= 128; };

  std::map<int, long> histogram;
  for (int i = 0; i < w * h; ++i)
    if (opaque(i)) ++histogram[Quantizer::Key({rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]})];
  const Quantizer q(histogram, colours);

  std::map<int, size_t> index;
  for (const auto& [key, count] : histogram) index[key] = q.Nearest(Quantizer::FromKey(key));
  // Colours no pixel maps to are left out; the order follows first use.
  std::vector<int> order(q.palette.size(), -1);
  std::vector<size_t> used;
  std::vector<int> pixel(w * h, -1);
  for (int i = 0; i < w * h; ++i) {
    if (!opaque(i)) continue;
    const size_t p = index[Quantizer::Key({rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]})];
    if (order[p] < 0) {
      order[p] = int(used.size());
      used.push_back(p);
    }
    pixel[i] = order[p];
  }
  const size_t offset = hasAlpha ? 1 : 0;
  if (used.size() + offset > PixelChars.size()) return false;

  std::string out = "/* XPM */\n";
  if (!comment.empty()) out += "/* " + comment + " */\n";
  out += declaration + " = {\n";
  char buf[64];
  std::snprintf(buf, sizeof buf, "\"%d %d %zu 1\",\n", w, h, used.size() + offset);
  out += buf;
  if (hasAlpha) out += std::string("\"") + PixelChars[0] + " c None\",\n";
  for (size_t i = 0; i < used.size(); ++i) {
    const Rgb& c = q.palette[used[i]];
    std::snprintf(buf, sizeof buf, "\"%c c #%02X%02X%02X\",\n", PixelChars[i + offset], c.r, c.g, c.b);
    out += buf;
  }
  for (int y = 0; y < h; ++y) {
    out += '"';
    for (int x = 0; x < w; ++x) {
      const int p = pixel[y * w + x];
      out += p < 0 ? PixelChars[0] : PixelChars[p + offset];
    }
    out += y + 1 < h ? "\",\n" : "\"\n";
  }
  out += "};\n";

  wxFileName::Mkdir(wxFileName(path).GetPath(), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
  std::FILE* f = std::fopen(path.utf8_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && ok;
}

// Loads a written picture back as the program does and saves it as PNG;
// the icon also enlarged, over a light and a dark ground, to judge its edge.
bool Preview(const wxString& xpm, const wxString& png, int w, int h) {
  wxImage image;
  if (!image.LoadFile(xpm, wxBITMAP_TYPE_XPM) || !image.IsOk()) {
    std::fprintf(stderr, "draw_pictures: %s does not load as XPM\n", static_cast<const char*>(xpm.utf8_str()));
    return false;
  }
  if (image.GetWidth() != w || image.GetHeight() != h) {
    std::fprintf(stderr, "draw_pictures: %s loads as %dx%d\n", static_cast<const char*>(xpm.utf8_str()),
                 image.GetWidth(), image.GetHeight());
    return false;
  }
  if (!image.HasMask()) return image.SaveFile(png, wxBITMAP_TYPE_PNG);

  const int scale = 8, gap = 8;
  wxImage sheet(2 * (w * scale + gap) + 2 * (w + gap) + gap, h * scale + 2 * gap);
  sheet.SetRGB(wxRect(0, 0, sheet.GetWidth(), sheet.GetHeight()), 0x80, 0x80, 0x80);
  const wxImage big = image.Scale(w * scale, h * scale, wxIMAGE_QUALITY_NEAREST);
  int x = gap;
  for (int ground : {0xF0, 0x30}) {
    for (const wxImage* pic : {&big, const_cast<const wxImage*>(&image)}) {
      wxImage tile(pic->GetWidth(), pic->GetHeight());
      tile.SetRGB(wxRect(0, 0, tile.GetWidth(), tile.GetHeight()), ground, ground, ground);
      tile.Paste(*pic, 0, 0);
      sheet.Paste(tile, x, gap);
      x += tile.GetWidth() + gap;
    }
  }
  return sheet.SaveFile(png, wxBITMAP_TYPE_PNG);
}

}  // namespace

class Tool : public wxApp {
 public:
  bool OnInit() override {
    if (argc < 2 || argc > 3) {
      std::fprintf(stderr, "usage: draw_pictures ROOT [PNGDIR]\n");
      result = 2;
      return true;
    }
    wxImage::AddHandler(new wxXPMHandler);
    wxImage::AddHandler(new wxPNGHandler);
    const wxString root = argv[1];
    const wxString pngs = argc == 3 ? argv[2] : wxString();

    struct Splash {
      const char* folder;
      const char* language;
      const char* line;
    };
    const Splash splashes[] = {
        {"data/", "English", "Service and checking tool for measuring points"},
        {"data/ru/", "Russian", "Сервисная и проверочная программа для измерительных точек"},
        {"data/uk/", "Ukrainian", "Сервісна та перевірна програма для вимірювальних точок"},
    };
    bool ok = true;
    for (const Splash& s : splashes) {
      const wxString path = root + "/" + s.folder + "splash.xpm";
      const std::string comment = std::string("Splash picture (") + s.language + "), made by scripts/draw-pictures";
      if (!WriteXpm(DrawSplash(wxString::FromUTF8(s.line)), path, "static const char *splash_xpm[]", 64,
                    comment)) {
        std::fprintf(stderr, "draw_pictures: cannot write %s\n", static_cast<const char*>(path.utf8_str()));
        ok = false;
        continue;
      }
      if (!pngs.empty())
        ok = Preview(path, pngs + "/splash-" + wxString(s.language).Lower() + ".png", SplashWidth, SplashHeight) &&
             ok;
    }
    const wxString icon = root + "/app/kalvo_checker.xpm";
    if (!WriteXpm(DrawIcon(), icon, "static const char* const kalvo_checker_xpm[]", 32,
                  "Window icon, made by scripts/draw-pictures")) {
      std::fprintf(stderr, "draw_pictures: cannot write %s\n", static_cast<const char*>(icon.utf8_str()));
      ok = false;
    } else if (!pngs.empty()) {
      ok = Preview(icon, pngs + "/icon.png", IconSize, IconSize) && ok;
    }
    result = ok ? 0 : 1;
    return true;
  }

  int OnRun() override { return result; }

 private:
  int result = 1;
};

wxIMPLEMENT_APP(Tool);
