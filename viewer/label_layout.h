#pragma once
// Where the labels of a lane of markers stand at full view: each beside its
// marker, in the first of its lanes where it covers no marker, meets no
// label already placed and stays wholly inside the drawing; to the right of
// its marker first, to its left when no lane on the right is free (as at the
// drawing's right edge), and hidden when neither side has room. The page's
// script places them again by the same rules when the reader zooms.

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace viewer {

struct layout_box {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

// Whether two boxes share any area, or come closer than `gap` across.
bool boxes_meet(const layout_box& a, const layout_box& b, double gap);

// The room a label of 10 px text takes around its baseline, with the
// fonts' ascent and descent rounded up.
inline constexpr double label_ascent_px = 9.5;
inline constexpr double label_descent_px = 2.5;
// The least space across between two labels, and between a label and a
// marker, whose room already holds a pixel of stroke.
inline constexpr double label_gap_px = 3.0;
inline constexpr double label_marker_gap_px = 1.0;

// The width of a label's text at `font_px`, from the widest advance of the
// common sans-serif faces for each character, so that the text a browser
// draws never passes it. `text` is the label as the page holds it: a
// character reference ("&amp;") counts as one character.
double label_width_px(std::string_view text, double font_px);

struct lane_label {
  double x = 0;               // where its marker stands
  double dx = 0;              // between the marker and the label's near end
  double width = 0;           // of the label's text
  std::vector<double> lanes;  // the baselines it may take, the first preferred
  int priority = 0;           // higher is placed first; ties from the left
};

struct label_place {
  bool shown = false;
  bool before_marker = false;  // ends at its marker (text-anchor end)
  double baseline = 0;
  layout_box box;  // the room it takes
};

// The places of `labels`, in their order, among `markers` on a drawing
// `width` pixels wide.
std::vector<label_place> lay_out_labels(std::span<const layout_box> markers,
                                        std::span<const lane_label> labels, double width);

}  // namespace viewer
