/* A module that only carries resources: the icon of the icon-digest tests. */
int IconModuleMarker = 1;
