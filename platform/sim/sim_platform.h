#pragma once

#include "platform/platform.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_form.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_text.h"

// An in-memory desktop for the unit tests, one simulated service beside another: text in code
// page 1252; files, shell, named mutexes and clocks; the registry; the desktop's windows and
// tray; the toolkit with Form1. It carries the platform's behaviour, never the program's logic.
namespace vt::sim {

class SimPlatform final : public SimText,
                          public SimSystem,
                          public SimRegistry,
                          public SimDesktop,
                          public SimForm {
  public:
    // The toolkit reaches the services constructed before it.
    SimPlatform() : SimForm(static_cast<SimDesktop&>(*this), static_cast<SimSystem&>(*this)) {}

    operator Platform&() { return services_; }

  private:
    Platform services_{*this, *this, *this, *this, *this};
};

}  // namespace vt::sim
