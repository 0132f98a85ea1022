#include "platform/ui/window.hpp"
