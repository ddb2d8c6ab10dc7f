// The engine's version string, also the archive's anchor: every module's
// objects join pabrix_engine through its link line.
extern const char *const kPabrixEngineVersion = "Pabrix engine 1.0";
