#include "viewer/label_layout.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <numeric>

namespace viewer {

namespace {

// Advances of the printable ASCII characters from the space on, in
// thousandths of the font size: the wider of DejaVu Sans and Liberation Sans
// (Arial's measures) for each. Any other character counts as a whole em.
constexpr std::array<std::uint16_t, 95> ascii_advance = {
    318, 401, 460, 838, 637, 951, 780, 275, 391, 391, 500, 838, 318, 361,  318, 337, 637, 637, 637,
    637, 637, 637, 637, 637, 637, 637, 337, 337, 838, 838, 838, 557, 1016, 685, 687, 723, 771, 667,
    611, 778, 752, 295, 500, 667, 558, 863, 749, 788, 667, 788, 723, 667,  611, 732, 685, 989, 686,
    667, 686, 391, 337, 391, 838, 557, 500, 613, 635, 550, 635, 616, 353,  635, 634, 278, 278, 580,
    278, 975, 634, 612, 635, 635, 412, 521, 393, 634, 592, 818, 592, 592,  525, 637, 337, 637, 838,
};
constexpr std::uint16_t other_advance = 1000;

// The markers sorted from the left, with the widest one's width, so that
// those near a span are found by a search rather than a walk over all.
struct marker_index {
  std::vector<layout_box> boxes;
  double widest = 0;

  explicit marker_index(std::span<const layout_box> markers)
      : boxes(markers.begin(), markers.end()) {
    std::sort(boxes.begin(), boxes.end(),
              [](const layout_box& a, const layout_box& b) { return a.left < b.left; });
    for (const layout_box& m : boxes) widest = std::max(widest, m.right - m.left);
  }

  bool covers(const layout_box& label) const {
    const double from = label.left - widest - label_marker_gap_px;
    auto m = std::lower_bound(boxes.begin(), boxes.end(), from,
                              [](const layout_box& b, double x) { return b.left < x; });
    for (; m != boxes.end() && m->left < label.right + label_marker_gap_px; ++m) {
      if (boxes_meet(*m, label, label_marker_gap_px)) return true;
    }
    return false;
  }
};

// The labels placed in one lane, from the left; they never meet, so their
// right ends are in the same order.
using lane_spans = std::vector<layout_box>;

bool lane_has_room(const lane_spans& spans, const layout_box& label) {
  auto next = std::lower_bound(spans.begin(), spans.end(), label.left,
                               [](const layout_box& b, double x) { return b.left < x; });
  if (next != spans.end() && next->left < label.right + label_gap_px) return false;
  if (next != spans.begin() && std::prev(next)->right + label_gap_px > label.left) return false;
  return true;
}

void take_room(lane_spans& spans, const layout_box& label) {
  auto at = std::lower_bound(spans.begin(), spans.end(), label.left,
                             [](const layout_box& b, double x) { return b.left < x; });
  spans.insert(at, label);
}

}  // namespace

bool boxes_meet(const layout_box& a, const layout_box& b, double gap) {
  return a.left < b.right + gap && b.left < a.right + gap && a.top < b.bottom && b.top < a.bottom;
}

double label_width_px(std::string_view text, double font_px) {
  double thousandths = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '&') {
      const std::size_t end = text.find(';', i);
      if (end != std::string_view::npos) i = end;
      thousandths += other_advance;
    } else if (c >= 0x20 && c < 0x7f) {
      thousandths += ascii_advance[c - 0x20];
    } else if (c >= 0xc0 || c < 0x20 || c == 0x7f) {
      // The lead byte of a UTF-8 sequence; its continuation bytes add nothing.
      thousandths += other_advance;
    }
  }
  return thousandths * font_px / 1000.0;
}

std::vector<label_place> lay_out_labels(std::span<const layout_box> markers,
                                        std::span<const lane_label> labels, double width) {
  const marker_index index(markers);
  std::vector<std::size_t> order(labels.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (labels[a].priority != labels[b].priority) return labels[a].priority > labels[b].priority;
    return labels[a].x < labels[b].x;
  });
  std::map<double, lane_spans> lanes;
  std::vector<label_place> places(labels.size());
  for (const std::size_t n : order) {
    const lane_label& label = labels[n];
    for (const bool before : {false, true}) {
      if (places[n].shown) break;
      for (const double baseline : label.lanes) {
        layout_box box;
        box.left = before ? label.x - label.dx - label.width : label.x + label.dx;
        box.right = box.left + label.width;
        box.top = baseline - label_ascent_px;
        box.bottom = baseline + label_descent_px;
        if (box.left < 0 || box.right > width || index.covers(box)) continue;
        lane_spans& spans = lanes[baseline];
        if (!lane_has_room(spans, box)) continue;
        take_room(spans, box);
        places[n] = {true, before, baseline, box};
        break;
      }
    }
  }
  return places;
}

}  // namespace viewer
