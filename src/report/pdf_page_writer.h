#pragma once

#include <cairo.h>

#include <string>
#include <vector>

namespace vellumar::report {

inline constexpr double kPageWidth = 595.28;  // A4 in points
inline constexpr double kPageHeight = 841.89;
inline constexpr double kPageMargin = 48.0;
inline constexpr int kMaxPages = 2;

// Lays text out top to bottom over at most two pages, never over the footer: a value too long
// for the room it may take is cut with a note, and what no longer fits on the last page is left
// out with a note. Latin text is set in DejaVu, Korean and other CJK text in Noto Sans CJK,
// picked by name so a page never shows boxes where a name was.
class PageWriter {
 public:
  PageWriter(cairo_t* cr, std::string footer) : cr_(cr), footer_(std::move(footer)) {}

  int Page() const { return page_; }

  void Title(const std::string& text, const std::string& subtitle);
  void Section(const std::string& title);
  // A key and its value; an empty value shows as a dash.
  void Row(const std::string& key, const std::string& value);
  // Monospaced lines; stops (with a note) where the last allowed page ends.
  void Lines(const std::vector<std::string>& lines, const std::string& omittedNote);
  void NewPage();
  void Finish();

 private:
  double Remaining() const;
  double Measure(const std::string& text, const std::string& font, double width);
  double Draw(const std::string& text, const std::string& font, double x, double y, double width);
  // The longest start of `text` that, with the cut note, stays within `height`.
  std::string CutToHeight(const std::string& text, const std::string& font, double width, double height);
  void Footer();

  cairo_t* cr_;
  std::string footer_;
  double y_ = kPageMargin;
  int page_ = 1;
  int rowsLeftOut_ = 0;
};

}  // namespace vellumar::report
