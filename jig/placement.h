// The placement dialogue: asks what the method needs, runs the drags and commits the copies.
#pragma once

class TallyJig;

// How the copies are laid out: along a line, around a centre, or one at a time at picked points.
enum IncrementMethod { kLine = 0, kPolar = 1, kFree = 2 };

// Picks the run, asks what the method needs, runs the drags and writes the copies.
void placeArray(TallyJig& jig, IncrementMethod method, int increment);
