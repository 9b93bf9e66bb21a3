// Resources only: a library the program-icon preview can count icons in.
int three_icons_marker;
