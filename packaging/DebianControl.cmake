# The Debian package's own fields, read from debian/control, the one list of
# the game's packages, by dpkg's own parser (its Perl modules come with
# build-essential), so comments and continued lines read as dpkg-checkbuilddeps
# and mk-build-deps read them.

set(KIRAMOKU_DEBIAN_CONTROL ${PROJECT_SOURCE_DIR}/debian/control)
# A change to the list configures the build again, so the package says what the file says.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KIRAMOKU_DEBIAN_CONTROL})

# read_debian_control(STANZA FIELD...): DEBIAN_<FIELD> (upper case, '-' as
# '_') in the caller for each FIELD of STANZA, a binary package's name or
# "source". As dpkg-gencontrol would: ${source:Version} is the project's
# version; the other substitutions are dropped, for dpkg-shlibdeps's own step
# in CPack gives the libraries. The lines of every field but Description are
# joined into one.
function(read_debian_control stanza)
  execute_process(
    COMMAND perl -MDpkg::Control::Info -e [=[
      my ($file, $version, $stanza, @fields) = @ARGV;
      my $control = Dpkg::Control::Info->new($file);
      my $paragraph = $stanza eq "source" ? $control->get_source : $control->get_pkg_by_name($stanza);
      defined $paragraph or die "$file has no stanza $stanza\n";
      for my $field (@fields) {
        my $value = $paragraph->{$field} // die "$file: $stanza has no $field\n";
        $value =~ s/\$\{source:Version\}/$version/g;
        $value =~ s/\$\{[^}]*\},?\s*//g;
        $value =~ s/\s*\n\s*/ /g unless $field eq "Description";
        $value =~ s/^\s+|\s+$//g;
        (my $name = uc "DEBIAN_$field") =~ tr/-/_/;
        print "set($name [==[$value]==] PARENT_SCOPE)\n";
      }]=]
      ${KIRAMOKU_DEBIAN_CONTROL} ${PROJECT_VERSION} ${stanza} ${ARGN}
    OUTPUT_VARIABLE fields
    COMMAND_ERROR_IS_FATAL ANY)
  cmake_language(EVAL CODE "${fields}")
endfunction()
