// The precompiled header shared by the tests is built with this library.
