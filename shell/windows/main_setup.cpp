#include "shell/windows/main_setup.h"

#include <limits>

#include <QLineEdit>
#include <QPushButton>

#include "shell/settings.h"
#include "ui/widgets/own_context.h"
#include "ui/widgets/qt_ui.h"
#include "ui/widgets/styler.h"

namespace mg::shell {

struct MainSetup::Owned : ui::OwnContext {
    using OwnContext::OwnContext;
};

const ui::WindowDef& mainSetupDef() {
    using K = ui::ControlKind;
    static const ui::WindowDef def{
        .caption = "Setup ...",
        .width = 215,
        .height = 49,
        .controls =
            {
                {.kind = K::Prompt, .name = "?LOC:LASTTRACKREF:PROMPT", .text = "Last Track Ref:", .x = 8, .y = 11, .w = 56, .h = 10},
                {.kind = K::Entry, .name = "?LOC:LASTTRACKREF", .x = 68, .y = 9, .w = 68, .h = 12, .picture = "n-14",
                 .flags = ui::RightAligned},
                {.kind = K::Button, .name = "?OKBUTTON", .text = "&OK", .x = 104, .y = 29, .w = 50, .h = 14},
                {.kind = K::Button, .name = "?CANCELBUTTON", .text = "&Close", .x = 158, .y = 29, .w = 50, .h = 14},
            },
    };
    return def;
}

MainSetup::MainSetup(Context& ctx, ui::UserInterface& ui, QWidget* parent, std::string productIni)
    : MainSetup(nullptr, ctx, ui, parent, std::move(productIni)) {}

MainSetup::MainSetup(std::unique_ptr<Owned> owned, Context& ctx, ui::UserInterface& ui, QWidget* parent, std::string productIni)
    : QDialog(parent),
      owned_(std::move(owned)),
      ctx_(ctx),
      ui_(ui),
      productIni_(productIni.empty() ? productIniPath() : std::move(productIni)),
      words_(ctx),
      controls_(ui::buildWindow(*this, mainSetupDef())),
      procedure_(*this, controls_, ui::StyleForm) {
    // The window makes no use of dbo.Nominal beyond opening it; it is closed again through
    // the use count when the window goes.
    tables_ = std::make_unique<TableUse>(Session{ctx_, ui_}, std::initializer_list<TableId>{TableId::Nominal});
    started_ = tables_->ok();

    connect(controls_.get<QPushButton>("?OKBUTTON"), &QPushButton::clicked, this, &MainSetup::okPressed);
    connect(controls_.get<QPushButton>("?CANCELBUTTON"), &QPushButton::clicked, this, &MainSetup::closePressed);
    procedure_.onInit = [this] {
        // Read as the import reads it: a value beyond 32 bits is held at the limit, not wrapped.
        lastTrackRef_ = lastTrackRefArgument(productIni_);
        showStored();
    };
}

MainSetup::~MainSetup() = default;

MainSetup* MainSetup::start(const db::Settings& settings, QWidget* parent) {
    auto owned = std::make_unique<Owned>(settings, parent);
    Context& ctx = *owned->ctx;
    ui::QtUserInterface& qtUi = *owned->ui;
    return ui::showOnOwnContext(new MainSetup(std::move(owned), ctx, qtUi, parent, {}), qtUi);
}

void MainSetup::okPressed() {
    auto* entry = controls_.get<QLineEdit>("?LOC:LASTTRACKREF");
    std::optional<Decimal> typed = controls_.number("?LOC:LASTTRACKREF");
    const long long value = typed ? typed->toInt64() : 0;
    if (!typed || value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
        procedure_.rejected(entry, [this] { showStored(); });
        return;
    }
    lastTrackRef_ = static_cast<int32_t>(value);
    // What the write did is not reported: the window closes either way.
    writeLastTrackRef(productIni_, lastTrackRef_);
    writeChosenStart(productIni_, lastTrackRef_);
    words_.response = RequestCompleted;
    accept();
}

void MainSetup::closePressed() { reject(); }

// The value as the product INI file holds it: a number, or the text that is not one, shown as
// it stands (the import refuses to start on it, and OK does not save it).
void MainSetup::showStored() {
    if (const std::optional<std::string> text = lastTrackRefText(productIni_))
        controls_.setText("?LOC:LASTTRACKREF", *text);
    else
        controls_.setNumber("?LOC:LASTTRACKREF", Decimal(lastTrackRef_));
}

}  // namespace mg::shell
