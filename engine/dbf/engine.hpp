#pragma once
// The engine's start and end. EngineInit sets the start values (default open
// mode, dates and separators from the user's language, error handling on,
// all areas empty, no unit attached); each unit then attaches itself.
// EngineShutdown closes area 34, then 35, then areas 1..33, writing pending
// headers and end marks, and drops all state. A program that ends without
// EngineShutdown has it run at exit.
namespace zurod {

void EngineInit();
void EngineShutdown();
bool EngineRunning();
// Shutdown and a fresh start (tests).
void EngineReset();

}  // namespace zurod
