#!/usr/bin/perl
# Rewrites the default values of the optional object parameters in the
# compiled type library.
#
# widl stores defaultvalue(0) of an IDispatch** parameter as a VARIANT of
# type VT_PTR, which no VARIANT can be: oleaut32 then fails GetFuncDesc for
# the whole member, and early-bound calls that leave the parameter out fail.
# What the members mean is "Optional ABar As Object = Nothing", a VT_DISPATCH
# holding no object. Only the members' own records are searched, and the
# number of defaults found must be the number expected, so that nothing else
# in the file can be touched by accident.
#
#   perl typelib_default_nothing.pl <file.tlb> <expected count>
use strict;
use warnings;

my ($path, $expected) = @ARGV;
die "usage: $0 <file.tlb> <expected count>\n" unless defined $expected;
open(my $in, '<:raw', $path) or die "$path: $!\n";
my $data = do { local $/; <$in> };
close $in;

sub u32 { my ($offset) = @_; return unpack('V', substr($data, $offset, 4)); }

die "$path: not an MSFT type library\n" unless substr($data, 0, 4) eq 'MSFT';
my $varflags = u32(0x14);
my $typeinfos = u32(0x20);
# After the fixed header: the help DLL name when flagged, one offset per type
# info, then the segment directory, whose first entry is the type info table.
my $segments = 0x54 + (($varflags & 0x100) ? 4 : 0) + 4 * $typeinfos;
my $table = u32($segments);

my $inline_ptr_zero = 0x80000000 | (26 << 26);   # VT_PTR, value 0
my $inline_nothing = 0x80000000 | (9 << 26);     # VT_DISPATCH, value 0
my $found = 0;
for my $index (0 .. $typeinfos - 1) {
  my $records = u32($table + $index * 0x64 + 4);
  next if $records + 4 > length($data);
  my $end = $records + 4 + u32($records);
  for (my $offset = $records + 4; $offset + 4 <= $end; $offset += 4) {
    next unless u32($offset) == $inline_ptr_zero;
    substr($data, $offset, 4) = pack('V', $inline_nothing);
    ++$found;
  }
}
die "$path: expected $expected object defaults, found $found\n" unless $found == $expected;

open(my $out, '>:raw', $path) or die "$path: $!\n";
print $out $data;
close $out;
