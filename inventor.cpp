#include "inventor.hpp"
