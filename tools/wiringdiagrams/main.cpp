// Draws the sensor wiring diagrams of the sensor configuration page as simple schematics
// (the board's input terminals on the left, the sensor's element on the right) and writes
// them as PNG files: wiringdiagrams <output folder>.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 320;
constexpr int kBoardRight = 150;

enum class Element {
    Bridge,
    BridgeWithThermometer,
    CapacitiveModule,
    ReedChain,
    HallChain,
    Resistor4,
    Resistor3
};

struct Diagram
{
    const char *file;
    const char *title;
    Element element;
    std::vector<const char *> terminals;
};

const QColor kWireColours[] = {QColor(200, 0, 0),  QColor(0, 140, 0),   QColor(0, 90, 200),
                               QColor(40, 40, 40), QColor(220, 120, 0), QColor(140, 0, 160)};

// A pin on the far side of its element is reached round the bottom, so that no wire runs
// across the element.
struct Pin
{
    QPointF at;
    bool fromBelow = false;
};

QPointF terminal(int i, int count)
{
    const double top = 80, bottom = kHeight - 50;
    const double step = count > 1 ? (bottom - top) / (count - 1) : 0;
    return {kBoardRight, top + i * step};
}

void drawBoard(QPainter &p, const Diagram &d)
{
    p.setPen(QPen(QColor(0, 150, 255), 2));
    p.setBrush(QColor(230, 244, 255));
    p.drawRoundedRect(QRectF(20, 50, kBoardRight - 20, kHeight - 80), 6, 6);
    p.setPen(Qt::black);
    QFont f = p.font();
    f.setPointSize(9);
    p.setFont(f);
    p.drawText(QRectF(20, 52, kBoardRight - 20, 20), Qt::AlignCenter,
               QString::fromUtf8("变送器输入端子"));
    const int n = int(d.terminals.size());
    for (int i = 0; i < n; ++i) {
        const QPointF t = terminal(i, n);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(t.x() - 16, t.y() - 8, 16, 16));
        p.drawEllipse(QPointF(t.x() - 8, t.y()), 3, 3);
        p.drawText(QRectF(28, t.y() - 9, kBoardRight - 50, 18), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromUtf8(d.terminals[i]));
    }
}

void resistor(QPainter &p, QPointF a, QPointF b)
{
    // A zig-zag between a and b, the leads straight.
    const QPointF d = b - a;
    QPainterPath path(a);
    const int teeth = 6;
    const QPointF normal(-d.y() * 0.12, d.x() * 0.12);
    path.lineTo(a + d * 0.2);
    for (int i = 0; i < teeth; ++i) {
        const double t = 0.2 + 0.6 * (i + 0.5) / teeth;
        path.lineTo(a + d * t + (i % 2 ? -normal : normal));
    }
    path.lineTo(a + d * 0.8);
    path.lineTo(b);
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

// Draws the element and returns its pins in terminal order.
std::vector<Pin> drawElement(QPainter &p, Element e)
{
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::NoBrush);
    const QPointF c(370, 170);
    switch (e) {
    case Element::Bridge:
    case Element::BridgeWithThermometer: {
        const QPointF top(c.x(), c.y() - 70), bottom(c.x(), c.y() + 70);
        const QPointF left(c.x() - 60, c.y()), right(c.x() + 60, c.y());
        resistor(p, top, left);
        resistor(p, top, right);
        resistor(p, left, bottom);
        resistor(p, right, bottom);
        for (const QPointF &n : {top, bottom, left, right})
            p.drawEllipse(n, 3, 3);
        std::vector<Pin> pins{{top}, {left}, {right, true}, {bottom}};
        if (e == Element::BridgeWithThermometer) {
            const QPointF t1(c.x() + 20, c.y() + 100), t2(c.x() + 80, c.y() + 100);
            resistor(p, t1, t2);
            p.drawText(QRectF(t1.x(), t1.y() + 6, 80, 16), Qt::AlignCenter, QStringLiteral("RT"));
            pins.push_back({t1});
            pins.push_back({t2, true});
        }
        return pins;
    }
    case Element::CapacitiveModule: {
        const QRectF box(c.x() - 60, c.y() - 60, 120, 120);
        p.drawRect(box);
        p.drawLine(QPointF(c.x() - 20, c.y() - 25), QPointF(c.x() + 20, c.y() - 25));
        p.drawLine(QPointF(c.x() - 20, c.y() - 15), QPointF(c.x() + 20, c.y() - 15));
        p.drawText(box.adjusted(0, 50, 0, 0), Qt::AlignHCenter | Qt::AlignTop,
                   QStringLiteral("C / U"));
        return {{QPointF(box.left(), c.y() - 40)},
                {QPointF(box.left(), c.y())},
                {QPointF(box.left(), c.y() + 40)}};
    }
    case Element::ReedChain:
    case Element::HallChain: {
        // A resistor ladder along a float tube; each step is closed by a reed or Hall switch.
        const double x = c.x() + 30, top = 60, step = 44;
        p.drawRoundedRect(QRectF(x - 40, top - 20, 80, 5 * step + 20), 10, 10);
        for (int i = 0; i < 4; ++i)
            resistor(p, QPointF(x, top + i * step), QPointF(x, top + (i + 1) * step));
        for (int i = 0; i <= 4; ++i) {
            const QPointF n(x, top + i * step);
            p.drawLine(n, n + QPointF(-22, 0));
            if (e == Element::ReedChain) {
                p.drawLine(n + QPointF(-22, 0), n + QPointF(-30, 8));
            } else {
                p.drawRect(QRectF(n.x() - 34, n.y() - 5, 10, 10));
            }
        }
        p.drawLine(QPointF(x - 32, top + 6), QPointF(x - 32, top + 4 * step + 6));
        p.drawText(QRectF(x - 40, top + 4 * step + 14, 80, 16), Qt::AlignCenter,
                   e == Element::ReedChain ? QStringLiteral("reed") : QStringLiteral("Hall"));
        return {{QPointF(x, top)}, {QPointF(x - 32, top + 2 * step)}, {QPointF(x, top + 4 * step)}};
    }
    case Element::Resistor4:
    case Element::Resistor3: {
        const QPointF a(c.x(), c.y() - 60), b(c.x(), c.y() + 60);
        resistor(p, a, b);
        p.drawText(QRectF(c.x() + 14, c.y() - 8, 60, 16), Qt::AlignLeft, QStringLiteral("Pt"));
        // Sense leads leave each end to the right, so no wire runs across another's pin.
        const QPointF lead(30, 0);
        p.drawLine(b, b + lead);
        p.drawEllipse(b, 3, 3);
        if (e == Element::Resistor4) {
            p.drawLine(a, a + lead);
            p.drawEllipse(a, 3, 3);
            return {{a}, {a + lead, true}, {b + lead, true}, {b}};
        }
        return {{a}, {b}, {b + lead, true}};
    }
    }
    return {};
}

void drawWires(QPainter &p, const std::vector<Pin> &pins, int terminals)
{
    const int n = std::min(int(pins.size()), terminals);
    int detours = 0;
    for (int i = 0; i < n; ++i) {
        const QPointF from = terminal(i, terminals);
        const QPointF to = pins[size_t(i)].at;
        const double bendX = 190 + i * 14;
        QPainterPath path(from);
        path.lineTo(bendX, from.y());
        if (pins[size_t(i)].fromBelow) {
            const double below = kHeight - 20 + detours * 10;
            const double side = to.x() + 16 + detours * 10;
            ++detours;
            path.lineTo(bendX, below);
            path.lineTo(side, below);
            path.lineTo(side, to.y());
        } else {
            path.lineTo(bendX, to.y());
        }
        path.lineTo(to);
        p.setPen(QPen(kWireColours[i % 6], 2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        p.setBrush(kWireColours[i % 6]);
        p.drawEllipse(to, 3, 3);
    }
}

QImage draw(const Diagram &d)
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QFont title = p.font();
    title.setPointSize(12);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::black);
    p.drawText(QRectF(0, 8, kWidth, 28), Qt::AlignCenter, QString::fromUtf8(d.title));
    drawBoard(p, d);
    const std::vector<Pin> pins = drawElement(p, d.element);
    drawWires(p, pins, int(d.terminals.size()));
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: wiringdiagrams <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const std::vector<Diagram> diagrams = {
            {"扩散硅桥压温补.png",
             "扩散硅压力传感器（桥压温补）",
             Element::Bridge,
             {"EXC+ 恒流源", "SIG+", "SIG-", "EXC-"}},
            {"扩散硅内部温度传感器温补.png",
             "扩散硅压力传感器（内部温度传感器温补）",
             Element::BridgeWithThermometer,
             {"EXC+ 恒流源", "SIG+", "SIG-", "EXC-", "T+", "T-"}},
            {"单晶硅内部温度传感器温补.png",
             "单晶硅压力传感器（内部温度传感器温补）",
             Element::BridgeWithThermometer,
             {"EXC+ 恒压源", "SIG+", "SIG-", "GND", "T+", "T-"}},
            {"陶瓷电容.png", "陶瓷电容压力传感器", Element::CapacitiveModule, {"V+", "OUT", "GND"}},
            {"陶瓷压阻.png",
             "陶瓷压力传感器",
             Element::Bridge,
             {"EXC+ 恒压源", "SIG+", "SIG-", "GND"}},
            {"干簧管液位计.png", "干簧管液位计", Element::ReedChain, {"EXC+", "SIG+", "GND"}},
            {"霍尔开关液位计.png", "霍尔开关液位计", Element::HallChain, {"V+", "SIG+", "GND"}},
            {"铂电阻.png", "铂电阻（四线制）", Element::Resistor4, {"I+", "S+", "S-", "I-"}},
            {"铂电阻三线制.png",
             "铂电阻（三线制，短接CJ1、CJ2）",
             Element::Resistor3,
             {"I+ / S+", "S-", "I-"}},
    };
    int failures = 0;
    for (const Diagram &d : diagrams) {
        const QString path = out.filePath(QString::fromUtf8(d.file));
        if (!draw(d).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
