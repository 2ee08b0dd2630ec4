// A shared object that carries the module's version resource, as the control's module does.
extern "C" int tavo_versioned_module_answer() { return 42; }
