// Launch to the splash on screen, in process. The program's main() runs
// Startup::run: the application object, Startup::createAll (every window and
// the data module, which reads its datasets), Form1->Show(), then the event
// loop. Timed here: from before createAll to Form1 shown and its first paint
// handled; the application object is made once for the process and not
// counted. Then the splash's own ticks until the main window is shown.
// Floor: every statement the start-up runs (recorded from SQLite during a
// launch, on every connection it opens, with the thread that ran it), each
// once, through the C API, on connections opened as the program opens its
// own once before the rounds (opening runs no statement of the start-up's),
// on as many threads as the program used, every value read by its type.
// Clean-up is left out on both sides (destroyAll; the floor's connections
// stay open).
//   bench_startup DATABASE ALIAS_DIR   (stores made by scripts/bench.sh)
#include "app/DrevalonApplication.h"
#include "app/Startup.h"
#include "bench/BenchKit.h"
#include "ui/main/Unit2.h"
#include "ui/splash/Unit1.h"

using namespace BenchKit;

namespace {
constexpr double nominalTicks = 145 * 10; // the splash's run to the main window

// Runs the event loop until `done`, at most 30 s; false if it never came.
bool loopUntil(const std::function<bool()> &done) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > 30000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}
} // namespace

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    const std::optional<StoreSettings> arguments =
        BenchKit::storeArguments(argc, argv, "bench_startup DATABASE ALIAS_DIR");
    if (!arguments)
        return 64;
    const StoreSettings &settings = *arguments;
    Rounds handOver;
    // One launch: milliseconds to the splash painted; the splash's run is kept aside.
    auto launch = [&] {
        QElapsedTimer timer;
        timer.start();
        Startup::createAll(settings);
        const PaintCount splash(Form1);
        Form1->Show();
        if (!loopUntil([&] { return splash.paints() > 0; }))
            std::fprintf(stderr, "the splash was never painted\n");
        const double ms = timer.nsecsElapsed() / 1e6;
        timer.restart();
        if (loopUntil([] { return Form2->isVisible(); }))
            handOver.ms.push_back(timer.nsecsElapsed() / 1e6);
        else
            std::fprintf(stderr, "the main window was never shown\n");
        Startup::destroyAll();
        return ms;
    };

    StatementLog::begin();
    launch();
    const std::vector<Statement> recorded = StatementLog::end();
    handOver.ms.clear();
    const Floor floor(recorded);

    Alternation rounds;
    const Rounds &ours = rounds.addMeasured(launch);
    const Rounds &statements = rounds.add([&] { floor.run(); });
    rounds.run();

    preamble(
        qPrintable(QStringLiteral("Start-up over %1 archive lines, SQLite")
                       .arg(QString::fromStdString(firstValue(settings.database, "select count(*) from orderAll")))));
    floor.print("the start-up runs, each once");
    std::printf("\n");
    header();
    row("launch → splash on screen", ours,
        "C API, every start-up statement once, on " + std::to_string(floor.threads()) + " thread(s)", statements,
        "≤ 1.2");
    line("splash on screen → main window shown", "the splash's 145 ticks of 10 ms", cell(handOver),
         number(nominalTicks) + " ms", ratio(handOver.median(), nominalTicks), "the splash's own ticks");
    return 0;
}
