#include "app/timeline.h"

Canvas screen;
Canvas backdrop;
Canvas layer_a;
Canvas layer_b;
