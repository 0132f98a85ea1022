#pragma once
// The engine's one start-up. A program calls StartEngine once and has the core
// with every unit it links: virtual files, memo files, the expression language
// and multiple-index files, plus whatever a library above the engine
// registered (the datasets take the user's date and number formats). The
// units' own start-ups (VFileInit, MemoInit, ...) stay for tests that want a
// bare core with some units or stand-ins; EngineInit alone starts no unit.
namespace zurod {

// Starts the engine when it is not running and attaches every unit that is
// not attached yet, then runs the registered starters. A second call attaches
// nothing twice but runs the starters again.
void StartEngine();

// A start-up step of a library above the engine, run by StartEngine after the
// units are attached. Registered once per process, usually while the library
// loads (`const bool registered = (AddEngineStarter(&MyInit), true);`), so
// only programs that link the library run it.
using EngineStarter = void (*)();
void AddEngineStarter(EngineStarter starter);

}  // namespace zurod
