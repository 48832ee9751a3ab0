#include "ui/statistics_window.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFont>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QTabWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "database/days.h"
#include "services/paths.h"
#include "session/retention_control.h"
#include "session/review_stats.h"

namespace {

QString band_label(int band)
{
    const uint32_t lo = band_low(band);
    const uint32_t hi = band_high(band);
    const QLocale locale;
    if (band == band_count - 1)
        return QStringLiteral("%1+").arg(locale.toString(lo));
    return lo == hi ? locale.toString(lo) : QStringLiteral("%1-%2").arg(locale.toString(lo), locale.toString(hi));
}

// Ticks at 0 and every round step up to at least `top`, labelled as whole numbers when the
// step is one. Localized labels take only formats with a precision: "%d" would draw none.
void set_round_ticks(QValueAxis* axis, double top)
{
    const double step = round_tick_step(top);
    axis->setRange(0, std::max(step, std::ceil(top / step - 1e-9) * step));
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(step);
    const int digits = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(digits));
}

QChartView* view_of(QChart* chart)
{
    chart->legend()->setVisible(chart->series().size() > 1);
    // Axis figures in the user's form (a decimal comma in German).
    chart->setLocalizeNumbers(true);
    auto* view = new QChartView(chart);
    view->setAccessibleName(chart->title());
    view->setRenderHint(QPainter::Antialiasing);
    return view;
}

// Bars over named categories, one bar set per entry of `sets`.
QChartView* bar_chart(const QString& title, const QStringList& labels,
    const std::vector<std::pair<QString, std::vector<double>>>& sets, const QString& y_title, double y_max = 0)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    auto* series = new QBarSeries;
    double top = 0;
    for (const auto& [name, values] : sets) {
        auto* set = new QBarSet(name);
        for (double v : values) {
            *set << v;
            top = std::max(top, v);
        }
        series->append(set);
    }
    chart->addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(labels);
    // Upright labels in a smaller font, whole: "128-255" cut to "128-..." names no band.
    x->setLabelsAngle(0);
    QFont small = x->labelsFont();  // the other axes' face: a font without a family falls back to a serif one
    small.setPointSize(7);
    x->setLabelsFont(small);
    x->setTruncateLabels(false);
    if (top <= 0)
        chart->setTitle(QCoreApplication::translate("statistics_window", "%1 (nothing yet)").arg(title));
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto* y = new QValueAxis;
    set_round_ticks(y, y_max > 0 ? y_max : std::max(4.0, top));
    y->setTitleText(y_title);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
    return view_of(chart);
}

// A line over day offsets (0 = the first value).
QChartView* line_chart(const QString& title, const std::vector<std::pair<QString, std::vector<QPointF>>>& lines,
    const QString& x_title, const QString& y_title, double y_max = 0, bool whole_numbers = true)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    double top = 0;
    double right = 1;
    auto* x = new QValueAxis;
    auto* y = new QValueAxis;
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (const auto& [name, points] : lines) {
        auto* series = new QLineSeries;
        series->setName(name);
        series->setPointsVisible(points.size() < 60);  // a lone day is a point, not a line
        series->replace(QList<QPointF>(points.begin(), points.end()));
        for (const QPointF& p : points) {
            top = std::max(top, p.y());
            right = std::max(right, p.x());
        }
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    }
    set_round_ticks(x, std::max(right, 4.0));
    if (top <= 0)
        chart->setTitle(QCoreApplication::translate("statistics_window", "%1 (nothing yet)").arg(title));
    x->setTitleText(x_title);
    y->setTitleText(y_title);
    if (y_max > 0) {
        set_round_ticks(y, y_max);
    } else if (whole_numbers) {
        // Counts: whole ticks, never "0.28 items".
        set_round_ticks(y, std::max(4.0, top));
    } else {
        set_round_ticks(y, std::max(top, 1e-3));
    }
    return view_of(chart);
}

// A count per day as a bar each, over days from the first (0) on an axis of round ticks.
QChartView* day_bars(const QString& title, const std::vector<uint32_t>& counts, const QString& x_title, const QString& y_title)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    auto* set = new QBarSet(y_title);
    uint32_t top = 0;
    for (uint32_t c : counts) {
        *set << c;
        top = std::max(top, c);
    }
    // Years of days make bars thinner than a pixel: their outlines would hide the bars.
    set->setPen(Qt::NoPen);
    auto* series = new QBarSeries;
    series->append(set);
    series->setBarWidth(0.9);
    chart->addSeries(series);
    auto* x = new QValueAxis;
    auto* y = new QValueAxis;
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    const double days = std::max<double>(static_cast<double>(counts.size()), 4.0);
    set_round_ticks(x, days);
    // The bars stand around their day's index: the axis runs from half a day before the first to
    // half a day after the last, not on to the next round tick (365 days drawn to 400).
    x->setRange(-0.5, days - 0.5);
    x->setTitleText(x_title);
    set_round_ticks(y, std::max(4.0, static_cast<double>(top)));
    y->setTitleText(y_title);
    if (top == 0)
        chart->setTitle(QCoreApplication::translate("statistics_window", "%1 (nothing yet)").arg(title));
    return view_of(chart);
}

QWidget* page_of(std::initializer_list<QWidget*> charts)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    for (QWidget* chart : charts)
        layout->addWidget(chart);
    return page;
}

// Retention of each week of the log, from the reviews that were due.
std::vector<QPointF> weekly_retention(const daily_figures& daily)
{
    std::vector<QPointF> points;
    for (size_t week = 0; week * 7 < daily.retention.size(); ++week) {
        retention_figure sum;
        for (size_t d = week * 7; d < std::min(daily.retention.size(), week * 7 + 7); ++d) {
            sum.reviews += daily.retention[d].reviews;
            sum.passed += daily.retention[d].passed;
        }
        if (sum.reviews > 0)
            points.emplace_back(static_cast<double>(week), sum.share());
    }
    return points;
}

QString recent_retention_text(const grading_summary& g)
{
    if (g.recent.reviews == 0)
        return QCoreApplication::translate("statistics_window", "No reviews were due in the last %n days.", nullptr,
            recent_retention_days);
    const QLocale locale;
    return QCoreApplication::translate("statistics_window", "Retention at review, last %1 days: %2 % of %3 due reviews recalled.")
        .arg(locale.toString(recent_retention_days), locale.toString(g.recent.share() * 100.0, 'f', 1),
            locale.toString(g.recent.reviews));
}

}  // namespace

double round_tick_step(double top)
{
    if (!(top > 0))
        return 1;
    // About five ticks, each a 1, 2 or 5 times a power of ten.
    const double rough = top / 5;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= rough)
            return m * power;
    return 10 * power;
}

statistics_window::statistics_window(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Statistics"));
    setObjectName(QStringLiteral("statistics_window"));
    const uint16_t today = day_number(0);
    const history_figures history = read_history_figures(data_path(review_log_name), today);
    const daily_figures& daily = history.daily;

    // What the network can learn from the grades: it lengthens intervals only after a 5.
    const grading_summary& grading = history.grading;
    auto* retention = new QLabel(recent_retention_text(grading), this);
    retention->setObjectName(QStringLiteral("recent_retention"));
    auto* note = new QLabel(tr(
        "None of your last %1 grades was a 5, while you recalled more than %2 % of your due reviews. "
        "Grade 5 means the answer came easily and the interval could have been longer; it is the "
        "only grade that lets the network lengthen your intervals. Without it they stay about as "
        "long as they are, and you review more often than you need to.")
                                .arg(QLocale().toString(recent_grade_window))
                                .arg(QLocale().toString(retention_without_fives * 100.0, 'f', 0)), this);
    note->setObjectName(QStringLiteral("grade_five_note"));
    note->setWordWrap(true);
    note->setVisible(grading.nothing_to_lengthen_with());
    const retention_control& control = retention_control_state();
    auto* shortened = new QLabel(tr(
        "Fewer than %1 % of the items you recalled were recalled again when they next came due, so "
        "the intervals after a recall are now %2 % of what the network proposes. They grow back as "
        "you recall more of them.")
                                     .arg(QLocale().toString(least_held_retention * 100.0, 'f', 0))
                                     .arg(QLocale().toString(guard_share(control) * 100.0, 'f', 0)), this);
    shortened->setObjectName(QStringLiteral("shortened_note"));
    shortened->setWordWrap(true);
    shortened->setVisible(guard_worth_telling(control));

    tabs_ = new QTabWidget(this);
    const auto due365 = due_per_day(today, 365);
    const std::vector<uint32_t> due30(due365.begin(), due365.begin() + 30);
    tabs_->addTab(page_of({day_bars(tr("Reviews due in the next 30 days"), due30,
                               tr("days from today"), tr("items")),
                      day_bars(tr("Reviews due in the next 365 days"), due365,
                          tr("days from today"), tr("items"))}),
        tr("Due"));

    tabs_->addTab(page_of({day_bars(tr("Reviews done per day"), daily.reviews,
        tr("days since the first review"), tr("grades"))}),
        tr("Reviews"));

    QStringList labels;
    for (int b = 0; b < band_count; ++b)
        labels << band_label(b);
    std::vector<double> by_band;
    for (const retention_figure& f : history.by_band)
        by_band.push_back(f.share());
    tabs_->addTab(page_of({bar_chart(tr("Retention by interval (days)"), labels,
                               {{tr("grades of 3 or more"), by_band}}, tr("share"), 1.0),
                      line_chart(tr("Retention by week"), {{QString(), weekly_retention(daily)}},
                          tr("weeks since the first review"), tr("share"), 1.0)}),
        tr("Retention"));

    const item_bands bands = item_histograms();
    auto as_doubles = [](const std::vector<uint32_t>& v) { return std::vector<double>(v.begin(), v.end()); };
    tabs_->addTab(page_of({bar_chart(tr("Items by interval (days)"), labels,
                               {{tr("items"), as_doubles(bands.intervals)}}, tr("items")),
                      bar_chart(tr("Items by repetitions"), labels,
                          {{tr("items"), as_doubles(bands.repetitions)}}, tr("items"))}),
        tr("Intervals"));

    std::vector<QPointF> errors;
    for (size_t d = 0; d < daily.test_error.size(); ++d)
        if (daily.test_error[d] > 0)
            errors.emplace_back(static_cast<double>(d), daily.test_error[d]);
    tabs_->addTab(page_of({line_chart(tr("The network's TestError: how far its intervals miss your grades (lower is better)"), {{QString(), errors}},
        tr("days since the first review"), QStringLiteral("TestError"), 0, false)}),
        tr("Network"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(retention);
    layout->addWidget(note);
    layout->addWidget(shortened);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    resize(760, 620);
}
