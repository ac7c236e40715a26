#include "game_engine.hpp"
