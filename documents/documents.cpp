// The driver documents are written by the functions of this library.
