#include "report/pdf_page_writer.h"

#include <glib.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <memory>

#include "devices/base/text_format.h"

namespace vellumar::report {

namespace {

constexpr double kMargin = kPageMargin;
constexpr double kFooterSpace = 40.0;
constexpr double kKeyWidth = 170.0;
// A value takes at most this much of a page; a longer one (a 5,000-character operator name) is
// cut, so every row after it still has its place.
constexpr double kMaxValueHeight = 80.0;
constexpr const char* kCutNote = " … (cut here; the JSON record has it whole)";

const std::string kSans = "DejaVu Sans,Noto Sans CJK KR,Sans";
const std::string kMono = "DejaVu Sans Mono,Noto Sans Mono CJK KR,Monospace";

std::string Font(const std::string& family, const std::string& style) { return family + " " + style; }

// Drive texts and operator names can be any bytes; pango wants valid UTF-8.
std::string ValidUtf8(const std::string& text) {
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  std::string result(valid);
  g_free(valid);
  return result;
}

struct LayoutDeleter {
  void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
struct FontDeleter {
  void operator()(PangoFontDescription* font) const { pango_font_description_free(font); }
};
using Layout = std::unique_ptr<PangoLayout, LayoutDeleter>;
using FontDescription = std::unique_ptr<PangoFontDescription, FontDeleter>;

Layout Make(cairo_t* cr, const std::string& text, const std::string& font, double width) {
  Layout layout(pango_cairo_create_layout(cr));
  const FontDescription description(pango_font_description_from_string(font.c_str()));
  pango_layout_set_font_description(layout.get(), description.get());
  pango_layout_set_width(layout.get(), static_cast<int>(width * PANGO_SCALE));
  pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
  // A serial or a key fingerprint broken across lines must not gain a hyphen it does not have.
  PangoAttrList* attributes = pango_attr_list_new();
  pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
  pango_layout_set_attributes(layout.get(), attributes);
  pango_attr_list_unref(attributes);
  const std::string valid = ValidUtf8(text);
  // Plain text, never markup: a drive's model cannot change the page.
  pango_layout_set_text(layout.get(), valid.c_str(), static_cast<int>(valid.size()));
  return layout;
}

double HeightOf(PangoLayout* layout) {
  int w = 0;
  int h = 0;
  pango_layout_get_size(layout, &w, &h);
  return static_cast<double>(h) / PANGO_SCALE;
}

}  // namespace

double PageWriter::Remaining() const { return kPageHeight - kFooterSpace - y_; }

double PageWriter::Measure(const std::string& text, const std::string& font, double width) {
  return HeightOf(Make(cr_, text, font, width).get());
}

double PageWriter::Draw(const std::string& text, const std::string& font, double x, double y, double width) {
  const Layout layout = Make(cr_, text, font, width);
  cairo_move_to(cr_, x, y);
  pango_cairo_show_layout(cr_, layout.get());
  return HeightOf(layout.get());
}

std::string PageWriter::CutToHeight(const std::string& text, const std::string& font, double width, double height) {
  const std::string valid = ValidUtf8(text);
  // Cut on character boundaries: the binary search runs over characters, not bytes.
  const glong characters = g_utf8_strlen(valid.c_str(), -1);
  const auto prefix = [&valid](glong count) {
    const char* end = g_utf8_offset_to_pointer(valid.c_str(), count);
    return std::string(valid.c_str(), static_cast<std::size_t>(end - valid.c_str()));
  };
  glong low = 0;
  glong high = characters;
  while (low < high) {
    const glong middle = (low + high + 1) / 2;
    if (Measure(prefix(middle) + kCutNote, font, width) <= height) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return prefix(low) + kCutNote;
}

void PageWriter::Title(const std::string& text, const std::string& subtitle) {
  y_ += Draw(text, Font(kSans, "Bold 18"), kMargin, y_, kPageWidth - 2 * kMargin) + 2;
  y_ += Draw(subtitle, Font(kSans, "9"), kMargin, y_, kPageWidth - 2 * kMargin) + 10;
}

void PageWriter::Section(const std::string& title) {
  if (Remaining() < 60) {
    if (page_ >= kMaxPages) {
      return;
    }
    NewPage();
  }
  y_ += 6;
  y_ += Draw(title, Font(kSans, "Bold 11"), kMargin, y_, kPageWidth - 2 * kMargin) + 2;
  cairo_set_line_width(cr_, 0.6);
  cairo_move_to(cr_, kMargin, y_);
  cairo_line_to(cr_, kPageWidth - kMargin, y_);
  cairo_stroke(cr_);
  y_ += 4;
}

void PageWriter::Row(const std::string& key, const std::string& value) {
  const double width = kPageWidth - 2 * kMargin - kKeyWidth;
  const std::string font = Font(kSans, "9");
  std::string shown = value.empty() ? "—" : value;
  if (Measure(shown, font, width) > kMaxValueHeight) {
    shown = CutToHeight(shown, font, width, kMaxValueHeight);
  }
  if (Measure(shown, font, width) + 4 > Remaining()) {
    if (page_ >= kMaxPages) {
      ++rowsLeftOut_;
      return;
    }
    NewPage();
  }
  const double keyHeight = Draw(key, Font(kSans, "Bold 9"), kMargin, y_, kKeyWidth - 8);
  const double valueHeight = Draw(shown, font, kMargin + kKeyWidth, y_, width);
  y_ += std::max(keyHeight, valueHeight) + 3;
}

void PageWriter::Lines(const std::vector<std::string>& lines, const std::string& omittedNote) {
  const std::string font = Font(kMono, "6.5");
  const double width = kPageWidth - 2 * kMargin;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const double height = Measure(lines[i], font, width);
    if (height + 14 > Remaining()) {
      if (page_ >= kMaxPages) {
        if (Remaining() > 12) {
          y_ += Draw(vellumar::GroupThousands(static_cast<std::int64_t>(lines.size() - i)) + omittedNote,
                     Font(kSans, "Italic 8"), kMargin, y_, width);
        }
        return;
      }
      NewPage();
    }
    y_ += Draw(lines[i], font, kMargin, y_, width);
  }
}

void PageWriter::NewPage() {
  Footer();
  cairo_show_page(cr_);
  ++page_;
  y_ = kMargin;
}

void PageWriter::Finish() {
  Footer();
  cairo_show_page(cr_);
}

void PageWriter::Footer() {
  const double y = kPageHeight - kMargin + 8;
  cairo_set_line_width(cr_, 0.4);
  cairo_move_to(cr_, kMargin, y - 4);
  cairo_line_to(cr_, kPageWidth - kMargin, y - 4);
  cairo_stroke(cr_);
  std::string text = footer_ + "    Page " + std::to_string(page_) + " of " + std::to_string(kMaxPages);
  if (page_ == kMaxPages && rowsLeftOut_ > 0) {
    text += "    (" + std::to_string(rowsLeftOut_) + " rows left out: see the JSON record)";
  }
  Draw(text, Font(kSans, "7"), kMargin, y, kPageWidth - 2 * kMargin);
}

}  // namespace vellumar::report
