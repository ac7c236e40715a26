#include "save_load.hpp"
