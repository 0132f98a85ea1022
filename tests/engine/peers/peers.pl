#!/usr/bin/perl
# Reads and writes dBASE tables with memo files through Perl's XBase module,
# for the engine's compatibility tests; the counterpart of peers.py.
#
#   peers.pl dump <encoding> <table>   prints the table as a canonical dump
#   peers.pl write <plan>              writes the table a plan file describes
#
# The dump and the plan have the forms peers.py documents. A plan's dbf type
# is "db3" (dBASE III memos), "db4" (dBASE IV memos) or "fp" (FoxPro memos).
use strict;
use warnings;
use Encode qw(decode encode);
use XBase;

sub escape {
    my ($text) = @_;
    $text =~ s/\\/\\\\/g;
    $text =~ s/\t/\\t/g;
    $text =~ s/\n/\\n/g;
    $text =~ s/\r/\\r/g;
    return $text;
}

sub unescape {
    my ($text) = @_;
    $text =~ s/\\(.)/$1 eq 't' ? "\t" : $1 eq 'n' ? "\n" : $1 eq 'r' ? "\r" : $1/ge;
    return $text;
}

sub canonical {
    my ($type, $decimals, $value, $encoding) = @_;
    return '' unless defined $value;
    if ($type eq 'C') {
        $value =~ s/ +$//;
        return decode($encoding, $value);
    }
    return decode($encoding, $value) if $type eq 'M';
    return sprintf('%.*f', $decimals, $value) if ($type eq 'N' || $type eq 'F') && $decimals > 0;
    return sprintf('%d', $value) if $type eq 'N' || $type eq 'F';
    return $value ? 'T' : 'F' if $type eq 'L';
    return $value;
}

sub dump_table {
    my ($encoding, $path) = @_;
    my $table = XBase->new(name => $path) or die XBase->errstr;
    open(my $raw, '<:raw', $path) or die "$path: $!";
    read($raw, my $version, 1);
    close $raw;
    my @names = $table->field_names;
    my @types = $table->field_types;
    my @lengths = $table->field_lengths;
    my @decimals = map { $_ // 0 } $table->field_decimals;
    my (@live, @deleted);
    for my $n (0 .. $table->last_record) {
        my ($gone, @values) = $table->get_record($n);
        my @cells = map { escape(canonical($types[$_], $decimals[$_], $values[$_], $encoding)) } 0 .. $#values;
        push @{ $gone ? \@deleted : \@live }, join("\t", 'record', $gone ? '*' : ' ', @cells);
    }
    my @out = ("version\t" . ord($version), "count\t" . ($table->last_record + 1) . "\t" . (@live + @deleted));
    push @out, join("\t", 'field', uc $names[$_], $types[$_], $lengths[$_], $decimals[$_]) for 0 .. $#names;
    binmode STDOUT, ':encoding(UTF-8)';
    print join("\n", @out, @live, @deleted), "\n";
    $table->close;
}

sub write_table {
    my ($plan_path) = @_;
    open(my $plan, '<:encoding(UTF-8)', $plan_path) or die "$plan_path: $!";
    my ($path, $type, $encoding, @fields, @records);
    while (my $line = <$plan>) {
        chomp $line;
        next unless length $line;
        my @items = split /\t/, $line, -1;
        if ($items[0] eq 'table') {
            ($path, $type, $encoding) = @items[1, 2, 4];
        } elsif ($items[0] eq 'field') {
            push @fields, [ @items[1 .. 4] ];
        } elsif ($items[0] eq 'record') {
            push @records, [ @items[1 .. $#items] ];
        }
    }
    # A FoxPro table is one whose memo file is named .fpt.
    my %versions = (db3 => [ version => 3 ], db4 => [ version => 4 ], fp => []);
    (my $memofile = $path) =~ s/\.dbf$/$type eq 'fp' ? '.fpt' : '.dbt'/ie;
    my $table = XBase->create(
        name           => $path,
        field_names    => [ map { $_->[0] } @fields ],
        field_types    => [ map { $_->[1] } @fields ],
        field_lengths  => [ map { $_->[2] } @fields ],
        field_decimals => [ map { $_->[3] } @fields ],
        memofile       => $memofile,
        @{ $versions{$type} },
    ) or die XBase->errstr;
    for my $n (0 .. $#records) {
        my ($mark, @texts) = @{ $records[$n] };
        my @values = map {
            my $text = $texts[$_];
            $text eq '\\N' ? undef : encode($encoding, unescape($text));
        } 0 .. $#texts;
        $table->set_record($n, @values) or die $table->errstr;
        $table->delete_record($n) if $mark eq '*';
    }
    $table->close;
}

if (@ARGV == 3 && $ARGV[0] eq 'dump') {
    dump_table($ARGV[1], $ARGV[2]);
} elsif (@ARGV == 2 && $ARGV[0] eq 'write') {
    write_table($ARGV[1]);
} else {
    print STDERR "usage: peers.pl dump <encoding> <table> | peers.pl write <plan>\n";
    exit 2;
}
