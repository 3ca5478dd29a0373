// SPDX-License-Identifier: GPL-3.0-or-later
// The small drawings of the vector passes test, each with the pass that changes it and what holds after.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "support/PassCases.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"

namespace kelvarin::test {

Stroke line(Point a, Point b, double width) { return {Stroke::Segment, a, b, {}, width}; }
Stroke ring(Point centre, double radius, double width) { return {Stroke::Ring, centre, {}, {}, width, radius}; }
Stroke arc(Point centre, double radius, double from, double to, double width) {
    return {Stroke::Ring, centre, {}, {}, width, radius, from, to};
}
Stroke disc(Point centre, double radius) { return line(centre, centre, 2 * radius); }
Stroke triangle(Point a, Point b, Point c) { return {Stroke::Triangle, a, b, c, 0}; }

std::vector<Stroke> crossHatching(double low, double high, double spacing, double width) {
    std::vector<Stroke> strokes;
    for (double k = low - high + spacing / 2; k < high - low; k += spacing) {
        // x - y = k rising, and its mirror falling.
        const double from = std::max(low, low + k), to = std::min(high, high + k);
        strokes.push_back(line({from, from - k}, {to, to - k}, width));
        strokes.push_back(line({from, low + high - (from - k)}, {to, low + high - (to - k)}, width));
    }
    return strokes;
}

namespace {

// The centre turned about the tip by degrees counter-clockwise.
Point barbCentre(Point centre, Point tip, double degrees) {
    const double radians = degrees * std::numbers::pi / 180;
    const Point d = centre - tip;
    return tip +
           Point{d.x * std::cos(radians) - d.y * std::sin(radians), d.x * std::sin(radians) + d.y * std::cos(radians)};
}

double cross(Point o, Point p, Point q) { return (p.x - o.x) * (q.y - o.y) - (p.y - o.y) * (q.x - o.x); }

// A heavy arc over its base line (a weld symbol), hatched inside at 45 degrees both ways every spacing dots.
std::vector<Stroke> hatchedArc(Point centre, double radius, double width, double spacing) {
    std::vector<Stroke> strokes{arc(centre, radius, 0, 180, width),
                                line({centre.x - radius - 20, centre.y}, {centre.x + radius + 20, centre.y}, width)};
    const double inner = radius - width / 2;
    for (const double slope : {1.0, -1.0}) {
        for (double x0 = centre.x - inner; x0 <= centre.x + inner; x0 += spacing) {
            // (x0 + t, y + slope t) from the base line until it meets the inner circle.
            const double b = (x0 - centre.x) * slope;
            const double t = (-b + std::sqrt(b * b - 2 * ((x0 - centre.x) * (x0 - centre.x) - inner * inner))) / 2;
            strokes.push_back(line({x0, centre.y}, {x0 + t * slope, centre.y + t}, 3));
        }
    }
    return strokes;
}

// A coil of half circles bulging left, the first centred at first, each the next one down.
std::vector<Stroke> coil(Point first, double radius, int lobes, double width) {
    std::vector<Stroke> strokes;
    for (int lobe = 0; lobe < lobes; ++lobe) {
        strokes.push_back(arc({first.x, first.y + 2 * radius * lobe}, radius, 90, 270, width));
    }
    return strokes;
}

// A curved arrow: an arc round centre from 60 to 120 degrees, its head at the 120 degree end two barbs of
// 16 degrees, each the arc's circle turned about the tip by 15 degrees one way or the other.
std::vector<Stroke> curvedArrow(Point centre, double radius) {
    const Point tip = pointOnCircle(centre, radius, 120);
    std::vector<Stroke> strokes{arc(centre, radius, 60, 120)};
    for (const double turn : {-15.0, 15.0}) {
        strokes.push_back(arc(barbCentre(centre, tip, turn), radius, 104 + turn, 120 + turn));
    }
    return strokes;
}

bool inked(const Stroke& stroke, Point p) {
    switch (stroke.kind) {
        case Stroke::Segment: return distanceToSegment(p, {stroke.a, stroke.b}) <= stroke.width / 2;
        case Stroke::Ring: {
            const double degrees = std::atan2(p.y - stroke.a.y, p.x - stroke.a.x) * 180 / std::numbers::pi;
            const double sweep = std::fmod(stroke.to - stroke.from + 720, 360.0);
            return std::abs(length(p - stroke.a) - stroke.radius) <= stroke.width / 2 &&
                   (stroke.to - stroke.from >= 360 || std::fmod(degrees - stroke.from + 720, 360.0) <= sweep);
        }
        case Stroke::Triangle: {
            const double ab = cross(stroke.a, stroke.b, p), bc = cross(stroke.b, stroke.c, p),
                         ca = cross(stroke.c, stroke.a, p);
            return (ab >= 0 && bc >= 0 && ca >= 0) || (ab <= 0 && bc <= 0 && ca <= 0);
        }
    }
    return false;
}

// The lines of the drawing so far: the joined lines before they become entities, then the entities.
std::vector<VectorLine> linesSoFar(const VectorizeContext& c) {
    std::vector<VectorLine> lines = c.drawing.drawing.lines;
    for (const LinePiece& piece : c.lines) {
        lines.push_back({piece.a, piece.b});
    }
    return lines;
}

bool near(Point p, Point q, double reach) { return length(p - q) <= reach; }
bool sameLine(const VectorLine& line, Point a, Point b, double reach) {
    return (near(line.a, a, reach) && near(line.b, b, reach)) || (near(line.a, b, reach) && near(line.b, a, reach));
}
bool hasLine(const std::vector<VectorLine>& lines, Point a, Point b, double reach = 3) {
    return std::any_of(lines.begin(), lines.end(), [&](const VectorLine& line) { return sameLine(line, a, b, reach); });
}
bool oneCircle(const VectorDrawing& drawing, Point centre, double radius) {
    return drawing.circles.size() == 1 && near(drawing.circles[0].centre, centre, 1) &&
           std::abs(drawing.circles[0].radius - radius) <= 1;
}
bool hasArc(const VectorDrawing& drawing, Point centre, double radius, double reach) {
    return std::any_of(drawing.arcs.begin(), drawing.arcs.end(), [&](const VectorArc& arc) {
        return near(arc.centre, centre, reach) && std::abs(arc.radius - radius) <= reach;
    });
}
// Whether the arc runs from a to b, its ends within reach of them.
bool arcBetween(const VectorArc& arc, Point a, Point b, double reach) {
    return near(pointOnCircle(arc.centre, arc.radius, arc.startDegrees), a, reach) &&
           near(pointOnCircle(arc.centre, arc.radius, arc.endDegrees), b, reach);
}
std::size_t linesAlongRow(const std::vector<VectorLine>& lines, double y) {
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const VectorLine& line) {
        return std::abs(line.a.y - y) <= 1 && std::abs(line.b.y - y) <= 1;
    }));
}

// A filled dot of the radius on the junction of a T of thin lines: one circle round its edge, the lines whole.
PassCase dotOnT(const char* name, double radius) {
    return {name,
            {line({20, 100}, {180, 100}, 2), line({100, 100}, {100, 180}, 2), disc({100, 100}, radius)},
            {},
            "junction dots",
            [radius](const VectorizeContext& c) {
                const VectorDrawing& d = c.drawing.drawing;
                return oneCircle(d, {100, 100}, radius) && d.lines.size() == 2 &&
                       hasLine(d.lines, {20, 100}, {180, 100}) && hasLine(d.lines, {100, 100}, {100, 180});
            }};
}

}  // namespace

void draw(Cells& cells, const std::vector<Stroke>& strokes) {
    for (std::int32_t y = 0; y < cells.height; ++y) {
        for (std::int32_t x = 0; x < cells.width; ++x) {
            const Point p{static_cast<double>(x), static_cast<double>(y)};
            if (std::any_of(strokes.begin(), strokes.end(), [&](const Stroke& s) { return inked(s, p); })) {
                cells.set(x, y);
            }
        }
    }
}

std::vector<PassCase> passCases() {
    std::vector<Stroke> dots;
    for (double x = 20; x <= 180; x += 8) {
        dots.push_back(disc({x, 100}, 1));
    }
    std::vector<Stroke> dashes;  // twelve dashes of a circle of radius 50, each 18 of every 30 degrees
    for (double degrees = 0; degrees < 360; degrees += 30) {
        dashes.push_back(line(pointOnCircle({100, 100}, 50, degrees), pointOnCircle({100, 100}, 50, degrees + 18), 2));
    }
    return {
        // The runs across a stroke follow it: the rows' runs a vertical one, the columns' a horizontal one.
        {"a vertical stroke is a piece of the rows",
         {line({100, 20}, {100, 180})},
         {},
         "rows",
         [](const VectorizeContext& c) { return c.pieces.lines.size() == 1; }},
        {"a horizontal stroke is a piece of the columns",
         {line({20, 100}, {180, 100})},
         {},
         "columns",
         [](const VectorizeContext& c) { return c.pieces.lines.size() == 1; }},
        {"a bar ten pens wide is hollowed to its rim",
         {line({40, 60}, {160, 60}, 3), line({40, 120}, {160, 120}, 30)},
         {},
         "hollowing",
         [](const VectorizeContext& c) { return c.strokes == &c.hollowed.vram; }},
        {"the stubs of cross-hatching are its strokes",
         crossHatching(50, 150, 16, 3),
         {},
         "hatches",
         [](const VectorizeContext& c) {
             return std::count_if(c.pieces.lines.begin(), c.pieces.lines.end(),
                                  [](const LinePiece& piece) { return length(piece.b - piece.a) >= 100; }) >= 4;
         }},
        {"a ring is one circle of its radius",
         {ring({100, 100}, 40)},
         {},
         "arcs",
         [](const VectorizeContext& c) {
             return oneCircle(c.drawing.drawing, {100, 100}, 40);
         }},
        {"the strokes of a crossing, cut by it, are a line each",
         {line({20, 100}, {180, 100}), line({100, 20}, {100, 180})},
         {},
         "lines",
         [](const VectorizeContext& c) {
             const auto lines = linesSoFar(c);
             return lines.size() == 2 && hasLine(lines, {20, 100}, {180, 100}) && hasLine(lines, {100, 20}, {100, 180});
         }},
        {"a T's stem ends on the bar's centre line",
         {line({20, 150}, {180, 150}), line({100, 20}, {100, 150})},
         {},
         "line ends",
         [](const VectorizeContext& c) {
             return hasLine(linesSoFar(c), {100, 19}, {100, 150}, 1);
         }},
        {"the dashes of a circle are arcs of it",
         dashes,
         {},
         "dashed circles",
         [](const VectorizeContext& c) {
             const auto& arcs = c.drawing.drawing.arcs;
             return arcs.size() == 12 && std::all_of(arcs.begin(), arcs.end(), [](const VectorArc& arc) {
                        return near(arc.centre, {100, 100}, 1) && std::abs(arc.radius - 50) <= 1;
                    });
         }},
        {"a filled disc's crossed centre lines shrink to points, then go",
         {disc({100, 100}, 15)},
         {},
         "degenerate",
         [](const VectorizeContext& c) { return c.entityCount() == 0; }},
        {"a filled disc is one circle round its edge",
         {disc({100, 100}, 15)},
         {},
         "round groups",
         [](const VectorizeContext& c) {
             return oneCircle(c.drawing.drawing, {100, 100}, 15);
         }},
        {"the dots among the dust are a dotted line",
         {line({20, 150}, {180, 150})},
         dots,
         "dotted lines",
         [](const VectorizeContext& c) { return linesAlongRow(c.drawing.drawing.lines, 100) >= 15; }},
        {"a filleted corner is an arc tangent to both lines, cut back to it",
         {line({40, 160}, {40, 52}, 5), arc({52, 52}, 12, 180, 270, 5), line({52, 40}, {160, 40}, 5)},
         {},
         "fillets",
         [](const VectorizeContext& c) {
             const VectorDrawing& d = c.drawing.drawing;
             return d.arcs.size() == 1 && arcBetween(d.arcs[0], {40, 52}, {52, 40}, 1.5) &&
                    hasArc(d, {52, 52}, 12, 1) && hasLine(d.lines, {40, 52}, {40, 160}) &&
                    hasLine(d.lines, {52, 40}, {160, 40});
         }},
        {"a shoulder fillet reaches the line running on past it",
         {line({30, 10}, {30, 190}), arc({56, 124}, 26, 90, 180), line({56, 150}, {190, 150})},
         {},
         "shoulder fillets",
         [](const VectorizeContext& c) {
             const VectorDrawing& d = c.drawing.drawing;
             return d.arcs.size() == 1 && arcBetween(d.arcs[0], {56, 150}, {30, 124}, 1.5) &&
                    hasArc(d, {56, 124}, 26, 1) && hasLine(d.lines, {30, 10}, {30, 190});
         }},
        {"the stub a heavy V's point leaves between its strokes goes",
         {line({100, 180}, {60, 20}, 8), line({100, 180}, {140, 20}, 8)},
         {},
         "covered",
         [](const VectorizeContext& c) {
             // Each line runs out over its stroke's round cap at the open end, half the pen.
             const auto& lines = c.drawing.drawing.lines;
             return lines.size() == 2 && hasLine(lines, {100, 180}, {60, 20}, 4) &&
                    hasLine(lines, {100, 180}, {140, 20}, 4);
         }},
        {"a line running into an arc along its tangent ends where they touch",
         {line({20, 100}, {100, 100}, 5), arc({100, 60}, 40, 0, 90, 5)},
         {},
         "tangents",
         [](const VectorizeContext& c) {
             const VectorDrawing& d = c.drawing.drawing;
             return d.lines.size() == 1 && hasLine(d.lines, {20, 100}, {100, 100}) && d.arcs.size() == 1 &&
                    arcBetween(d.arcs[0], {140, 60}, {100, 100}, 1.5);
         }},
        {"a filled arrowhead at a line's end is outlined",
         {line({20, 100}, {180, 100}), triangle({180, 100}, {150, 94}, {150, 106})},
         {},
         "arrowheads",
         [](const VectorizeContext& c) {
             const auto& lines = c.drawing.drawing.lines;
             return hasLine(lines, {20, 100}, {180, 100}) && hasLine(lines, {180, 100}, {150, 94}, 1.5) &&
                    hasLine(lines, {150, 94}, {150, 106}, 1.5) && hasLine(lines, {150, 106}, {180, 100}, 1.5);
         }},
        {"the barbs of a curved arrow, bowing a dot or two, are arcs of its shaft's radius",
         curvedArrow({100, 20}, 150),
         {},
         "curved barbs",
         [](const VectorizeContext& c) {
             const Point tip = pointOnCircle({100, 20}, 150, 120);
             return hasArc(c.drawing.drawing, barbCentre({100, 20}, tip, -15), 150, 2) &&
                    hasArc(c.drawing.drawing, barbCentre({100, 20}, tip, 15), 150, 2);
         }},
        {"a small ring cut by its centre lines is one circle, the lines whole",
         {ring({100, 100}, 14), line({60, 100}, {140, 100}, 2), line({100, 60}, {100, 140}, 2)},
         {},
         "round holes",
         [](const VectorizeContext& c) {
             const VectorDrawing& d = c.drawing.drawing;
             return oneCircle(d, {100, 100}, 14) && d.lines.size() == 2 && hasLine(d.lines, {60, 100}, {140, 100}) &&
                    hasLine(d.lines, {100, 60}, {100, 140});
         }},
        {"a small box of a heavy pen between its leads is its four sides",
         {line({90, 94}, {110, 94}, 5), line({110, 94}, {110, 106}, 5), line({110, 106}, {90, 106}, 5),
          line({90, 106}, {90, 94}, 5), line({20, 100}, {90, 100}), line({110, 100}, {180, 100})},
         {},
         "box holes",
         [](const VectorizeContext& c) {
             const auto& lines = c.drawing.drawing.lines;
             return lines.size() == 6 && hasLine(lines, {90, 94}, {110, 94}, 1) &&
                    hasLine(lines, {110, 94}, {110, 106}, 1) && hasLine(lines, {110, 106}, {90, 106}, 1) &&
                    hasLine(lines, {90, 106}, {90, 94}, 1) && hasLine(lines, {20, 100}, {90, 100}) &&
                    hasLine(lines, {110, 100}, {180, 100});
         }},
        dotOnT("a filled dot on a T's junction is a circle round its edge, the lines whole", 7),
        dotOnT("a filled dot of 8 on a T's junction is a circle round its edge, the lines whole", 8),
        dotOnT("a filled dot of 10 on a T's junction is a circle round its edge, the lines whole", 10),
        dotOnT("a filled dot of 12 on a T's junction is a circle round its edge, the lines whole", 12),
        {"a lone dot beside a line is a short line through it",
         {line({20, 40}, {180, 40}), disc({100, 100}, 2)},
         {},
         "blobs",
         [](const VectorizeContext& c) {
             const auto& lines = c.drawing.drawing.lines;
             return lines.size() == 2 && hasLine(lines, {20, 40}, {180, 40}) &&
                    std::any_of(lines.begin(), lines.end(), [](const VectorLine& l) {
                        return near((l.a + l.b) * 0.5, {100, 100}, 1) && length(l.b - l.a) <= 5;
                    });
         }},
        {"a hatched heavy arc, cut into chords, is one arc",
         hatchedArc({100, 30}, 80, 9, 14),
         {},
         "bowed lines",
         [](const VectorizeContext& c) {
             return std::any_of(c.drawing.drawing.arcs.begin(), c.drawing.drawing.arcs.end(), [](const VectorArc& a) {
                 return near(a.centre, {100, 30}, 2) && std::abs(a.radius - 80) <= 2 &&
                        std::abs(std::remainder(a.startDegrees, 360.0)) <= 9 &&
                        std::abs(std::remainder(a.endDegrees - 180, 360.0)) <= 9;
             });
         }},
        {"the lobes of a heavy coil are arcs round their own centres",
         coil({100, 40}, 22.3, 3, 7),
         {},
         "arc centres",
         [](const VectorizeContext& c) {
             const VectorDrawing& d = c.drawing.drawing;
             return d.arcs.size() == 3 && hasArc(d, {100, 40}, 22.3, 0.6) && hasArc(d, {100, 84.6}, 22.3, 0.6) &&
                    hasArc(d, {100, 129.2}, 22.3, 0.6);
         }},
        {"a slot's ends, each cut by its centre line, are an arc each",
         {arc({70, 100}, 20, 90, 270), arc({130, 100}, 20, 270, 90), line({70, 80}, {130, 80}),
          line({70, 120}, {130, 120}), line({30, 100}, {170, 100}, 2)},
         {},
         "overlapping arcs",
         [](const VectorizeContext& c) {
             const VectorDrawing& d = c.drawing.drawing;
             return d.arcs.size() == 2 && hasArc(d, {70, 100}, 20, 1) && hasArc(d, {130, 100}, 20, 1) &&
                    std::all_of(d.arcs.begin(), d.arcs.end(), [](const VectorArc& a) {
                        return arcBetween(a, {130, 80}, {130, 120}, 1.5) || arcBetween(a, {70, 120}, {70, 80}, 1.5);
                    });
         }},
        {"an arc a dot cut apart is one arc",
         {arc({100, 100}, 60, 200, 340), disc(pointOnCircle({100, 100}, 60, 270), 10)},
         {},
         "overlapping arcs",
         [](const VectorizeContext& c) {
             const VectorDrawing& d = c.drawing.drawing;
             return d.arcs.size() == 1 && hasArc(d, {100, 100}, 60, 1) &&
                    arcBetween(d.arcs[0], pointOnCircle({100, 100}, 60, 200), pointOnCircle({100, 100}, 60, 340), 1.5);
         }},
        {"a thin line the scan broke is one line",
         {line({20, 100}, {94, 100}, 2), line({103, 100}, {180, 100}, 2)},
         {disc({98.5, 100}, 0.6)},
         "broken strokes",
         [](const VectorizeContext& c) {
             return c.drawing.drawing.lines.size() == 1 && hasLine(c.drawing.drawing.lines, {20, 100}, {180, 100});
         }},
    };
}

}  // namespace kelvarin::test
