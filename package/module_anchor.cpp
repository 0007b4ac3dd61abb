// The module's shared object is built from the whole of its static library; this file only gives
// the target a source of its own.
