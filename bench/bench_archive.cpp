// The archive page's own commands through the real windows, from the event to
// the repainted grid: each sort key in both directions, За весь период, and
// Поиск over one year inside the data. The windows are built as at launch
// (Startup::createAll) and the main window shown offscreen on the archive
// page. A command is the click of its control (QAbstractButton::click, the
// signal a mouse click gives, so the handler runs as wired); it ends when the
// archive grid has handled its next paint: the event loop runs after the
// click until then. Each command starts from the same state, made untimed:
// the whole period (or, for За весь период, the year's), no sort key selected
// and the direction set. Nothing is written to the store between rounds: held
// rows may serve a command exactly as they would for a shop.
// Floors: the statements the command runs when it must read (recorded from
// SQLite in a run with the store written to just before), through the C API
// on a connection opened as ours; for Поиск also its period statements alone.
//   bench_archive DATABASE ALIAS_DIR   (stores made by scripts/bench.sh)
#include "app/DrevalonApplication.h"
#include "app/Startup.h"
#include "bench/BenchKit.h"
#include "data/views/TDBGrid.h"
#include "platform/PictureButton.h"
#include "ui/main/Unit2.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <memory>

using namespace BenchKit;

namespace {
struct Command {
    std::string what;
    std::function<void()> prepare;
    QAbstractButton *control;
    std::string target;
};
} // namespace

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    const std::optional<StoreSettings> arguments =
        BenchKit::storeArguments(argc, argv, "bench_archive DATABASE ALIAS_DIR");
    if (!arguments)
        return 64;
    const StoreSettings &settings = *arguments;
    Startup::createAll(settings);
    Form2->PageControl1->setCurrentWidget(Form2->TabSheet3);
    Form2->present();
    settle();
    const PaintCount grid(Form2->DBGrid2);
    sqlite3 *programs = handleOf(DataModule3->ADOConnection1->database());

    // One year inside the data, ending a quarter before its last day.
    const QDate last = QDate::fromString(
        QString::fromStdString(firstValue(settings.database, "select max(Date) from orderAll")), Qt::ISODate);
    const QDate yearEnd = last.addMonths(-3), yearStart = yearEnd.addYears(-1).addDays(1);

    bool periodInForce = false;
    auto click = [](QAbstractButton *control) {
        control->click();
        settle();
    };
    auto wholePeriod = [&] {
        if (periodInForce)
            click(Form2->BitBtn17);
        periodInForce = false;
    };
    auto oneYear = [&] {
        Form2->DateTimePicker1->setDate(yearStart);
        Form2->DateTimePicker2->setDate(yearEnd);
    };

    std::vector<Command> commands;
    const QList<QRadioButton *> keys = {Form2->RadioButton6, Form2->RadioButton7, Form2->RadioButton8,
                                        Form2->RadioButton9};
    for (bool descending : {false, true})
        for (QRadioButton *key : keys) {
            // Ticking or clearing the box clears every key: twice keeps the direction.
            auto prepare = [&, key, descending] {
                wholePeriod();
                click(Form2->CheckBox1);
                if (Form2->CheckBox1->isChecked() != descending)
                    click(Form2->CheckBox1);
            };
            commands.push_back(
                {"sort key «" + key->text().toStdString() + "»" + (descending ? ", По убыванию" : ", ascending"),
                 prepare, key, "≤ 300 ms"});
        }
    commands.push_back({"За весь период, after Поиск",
                        [&] {
                            oneYear();
                            if (!periodInForce)
                                click(Form2->BitBtn16);
                            periodInForce = true;
                        },
                        Form2->BitBtn17, "≤ 400 ms"});
    commands.push_back({"Поиск over one year",
                        [&] {
                            wholePeriod();
                            oneYear();
                        },
                        Form2->BitBtn16, "≤ 1.2 × its period statements"});
    auto ran = [&](const Command &command) { periodInForce = command.control == Form2->BitBtn16; };

    // What each command runs when it has to read: the store written to first.
    std::vector<std::vector<Statement>> recorded;
    for (const Command &command : commands) {
        command.prepare();
        touchStore(settings.database);
        recorded.push_back(StatementLog::of([&] { click(command.control); }, programs));
        ran(command);
    }
    std::vector<std::unique_ptr<Floor>> floors;
    for (const std::vector<Statement> &statements : recorded)
        floors.push_back(std::make_unique<Floor>(statements));
    const Floor periodAlone(
        matching(recorded.back(), [](const Statement &statement) { return containsNoCase(statement.sql, "between"); }));

    Alternation rounds;
    std::vector<const Rounds *> ours, floor;
    for (const Command &command : commands) {
        ours.push_back(&rounds.addMeasured(
            [&] {
                const double ms = untilRepainted(grid, [&] { command.control->click(); });
                ran(command);
                return ms;
            },
            [&] {
                command.prepare();
                settle();
            }));
    }
    for (const std::unique_ptr<Floor> &each : floors)
        floor.push_back(&rounds.add([&] { each->run(); }));
    const Rounds &period = rounds.add([&] { periodAlone.run(); });
    rounds.run();

    preamble(qPrintable(QStringLiteral("The archive page over %1 lines, SQLite; Поиск from %2 to %3")
                            .arg(QString::fromStdString(firstValue(settings.database, "select count(*) from orderAll")),
                                 yearStart.toString(Qt::ISODate), yearEnd.toString(Qt::ISODate))));
    for (size_t i = 0; i < commands.size(); ++i)
        floors[i]->print((commands[i].what + ", when it must read, runs").c_str());
    periodAlone.print("its period statements alone");
    std::printf("\n");
    header();
    for (size_t i = 0; i < commands.size(); ++i) {
        const bool search = commands[i].control == Form2->BitBtn16;
        row(commands[i].what, *ours[i], "C API, the same statements once", *floor[i],
            search ? std::string() : commands[i].target);
        if (search)
            row(commands[i].what, *ours[i], "C API, its period statements alone", period, commands[i].target);
    }
    Startup::destroyAll();
    return 0;
}
