// The placement dialogue: asks what the method needs, runs the drags and commits the copies.
#pragma once

class TallyJig;

void placeArray(TallyJig& jig, int method, int increment);
void placeFree(TallyJig& jig, int increment);
